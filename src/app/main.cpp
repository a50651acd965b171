#include "app/RaviraZazuApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("RaviraZazu");
    CRaviraZazuApp app;
    return app.InitInstance();
}
