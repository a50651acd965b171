// Opens the main window as the tool does and saves a picture of each page of its page tree.
// Used by tools/demo on machines without a display (under Xvfb), and by a person who wants
// fresh screenshots for the README.
//   rz_screenshots FOLDER
// The tool's folders come from the same environment as the tool's own (the demo's sandbox).
#include "app/RaviraZazuDlg.h"
#include "pages/ResizablePage.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: rz_screenshots FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    CRaviraZazuDlg dialog;
    if (!dialog.OnInitDialog())
        return 1;
    dialog.show();
    const char* names[] = {"1-basic-settings", "2-dispatch-stations", "3-repeaters", "4-language",
                           "5-others"};
    for (int i = 0; i < dialog.PageCount(); ++i)
    {
        dialog.SelectPage(i);
        QApplication::processEvents();
        const QString path = folder + "/" + names[i] + ".png";
        if (!dialog.grab().save(path))
        {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
