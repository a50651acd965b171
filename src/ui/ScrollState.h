#pragma once

// The scroll arithmetic of a dialog that is taller or wider than the area it is shown in:
// positions and ranges count steps of 8 pixels across and 15 pixels down.
class CScrollState
{
public:
    static constexpr int kStepX = 8;
    static constexpr int kStepY = 15;

    // Scroll commands, as a scroll bar reports them (Up/Down also mean Left/Right).
    enum Command
    {
        LineUp,
        LineDown,
        PageUp,
        PageDown,
        ThumbTrack,
        Top,
        Bottom,
        Other,
    };

    // Remembers the design size and starts at the origin.
    void Initialize(int designWidth, int designHeight);
    // The client area changed: back to the origin, then the ranges for the new size.
    void Resize(int clientWidth, int clientHeight);
    // Applies a command; returns the change of position in steps (0 when nothing moves).
    int ScrollHorizontal(Command command, int thumb = 0);
    int ScrollVertical(Command command, int thumb = 0);

    bool IsInitialized() const { return m_initialized; }
    int X() const { return m_x; }
    int Y() const { return m_y; }
    int MaxX() const { return m_maxX; }
    int MaxY() const { return m_maxY; }
    int RawRangeY() const { return m_rangeY; }

private:
    static int Clamp(int change, int position, int maximum);
    // The change of position a command asks for, kept within 0 and maximum.
    static int Step(Command command, int thumb, int position, int maximum, int pageUp,
                    int pageDown);

    int m_x = 0;
    int m_y = 0;
    int m_maxX = 0;
    int m_maxY = 0;
    int m_rangeY = 0;
    int m_designWidth = 0;
    int m_designHeight = 0;
    bool m_initialized = false;
};
