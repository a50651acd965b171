#include "app/FontStart.h"
#include "app/RaviraZazuApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    rz::BeginFontStart();
    QApplication application(argc, argv);
    QApplication::setApplicationName("RaviraZazu");
    CRaviraZazuApp app;
    return app.InitInstance();
}
