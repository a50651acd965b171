#pragma once

#include <QIcon>

// The window's own pictures, drawn at whatever size is asked for. The style's standard
// pictures are image files: reading them decodes several sizes each and loads the image
// format plugins, which the first picture of the window would wait for.
enum class DrawnIcon
{
    Settings, // a sheet of lines
    Network,  // a globe
    Computer, // a screen on a stand
    Question, // a speech bubble with a question mark
    Info,     // an "i" in a circle
    Play,     // a triangle pointing right
    Stop,     // a square
    Reload,   // a circling arrow
};

QIcon MakeDrawnIcon(DrawnIcon which);
