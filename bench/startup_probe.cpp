// Opens a window, notes the moment its first picture is complete, prints how long that took
// and quits; bench_window starts it many times.
//   rz_startup_probe window TOOLDIR DOCUMENT [--log] [--idle] [--since NS]
//       the tool as its main() starts it (single-copy guard, main window on the document)
//   rz_startup_bare [--text] [--idle] [--since NS]
//       a bare QWidget of the main window's size (the same source, built without the tool);
//       with --text it shows one line of text, which is what any window with text pays
//       for the font system's start
// It prints one line, "painted WALL_NS CPU_NS": the time from NS (a CLOCK_MONOTONIC reading
// taken by the starter before it started this process; without it, the process's start as
// the kernel recorded it, to 10 ms) to the end of the first frame, and the CPU time of all
// its threads until then. --idle keeps the window open until the process is ended, for
// watching it do nothing. --log writes the tool's log (to $XDG_STATE_HOME).
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef RZ_PROBE_BARE
#include "app/RaviraZazuApp.h"
#endif

namespace
{

int64_t Nanoseconds(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The process's start on CLOCK_BOOTTIME, from /proc/self/stat (in clock ticks).
int64_t ProcessStartBoottime()
{
    std::ifstream in("/proc/self/stat");
    std::string line;
    std::getline(in, line);
    // The fields after the command name, which is in parentheses and may hold spaces.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    const char* at = line.c_str() + close + 2;
    // Field 22 is the start time; "state" after the name is field 3.
    for (int field = 3; field < 22 && at != nullptr; ++field)
    {
        at = std::strchr(at, ' ');
        if (at != nullptr)
            ++at;
    }
    if (at == nullptr)
        return 0;
    const long long ticks = std::strtoll(at, nullptr, 10);
    return ticks * (1'000'000'000 / ::sysconf(_SC_CLK_TCK));
}

// Watches the window system's expose and update requests for the named top-level widget:
// the first one during which that widget painted completes the first picture (its children
// paint in the same pass).
class CFirstPaint : public QObject
{
public:
    CFirstPaint(QString windowName, bool idle, int64_t since)
        : m_windowName(std::move(windowName)), m_idle(idle), m_since(since)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_done)
            return false;
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            watched->objectName() == m_windowName && static_cast<QWidget*>(watched)->isWindow())
        {
            m_painted = true;
            return false;
        }
        if ((event->type() != QEvent::Expose && event->type() != QEvent::UpdateRequest) ||
            !watched->isWindowType() || m_delivering)
            return false;
        // Delivered here, so that the time is taken once the whole pass has painted.
        m_delivering = true;
        watched->event(event);
        m_delivering = false;
        if (m_painted)
            Done();
        return true;
    }

private:
    void Done()
    {
        m_done = true;
        const int64_t cpu = Nanoseconds(CLOCK_PROCESS_CPUTIME_ID);
        const int64_t wall = m_since > 0 ? Nanoseconds(CLOCK_MONOTONIC) - m_since
                                         : Nanoseconds(CLOCK_BOOTTIME) - ProcessStartBoottime();
        std::printf("painted %lld %lld\n", static_cast<long long>(wall),
                    static_cast<long long>(cpu));
        std::fflush(stdout);
        if (!m_idle)
            QCoreApplication::exit(0); // every event loop, a modal window's among them
    }

    QString m_windowName;
    bool m_idle;
    int64_t m_since;
    bool m_painted = false;
    bool m_delivering = false;
    bool m_done = false;
};

int Usage()
{
#ifdef RZ_PROBE_BARE
    std::fprintf(stderr, "usage: rz_startup_bare [--text] [--idle] [--since NS]\n");
#else
    std::fprintf(stderr,
                 "usage: rz_startup_probe window TOOLDIR DOCUMENT [--log] [--idle] [--since NS]\n");
#endif
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    bool idle = false;
    bool log = false;
    bool text = false;
    int64_t since = 0;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--idle")
            idle = true;
        else if (arg == "--log")
            log = true;
        else if (arg == "--text")
            text = true;
        else if (arg == "--since" && i + 1 < argc)
            since = std::strtoll(argv[++i], nullptr, 10);
        else if (arg.starts_with("--"))
            return Usage();
        else
            positional.push_back(arg);
    }

#ifdef RZ_PROBE_BARE
    (void)log;
    if (!positional.empty())
        return Usage();
    CFirstPaint probe(QStringLiteral("bare"), idle, since);
    application.installEventFilter(&probe);
    QWidget window;
    window.setObjectName(QStringLiteral("bare"));
    window.setWindowTitle(QStringLiteral("bare"));
    window.resize(920, 640);
    if (text)
        (new QLabel(QStringLiteral("Gateway Config Tool"), &window))->move(12, 12);
    window.show();
    return application.exec();
#else
    if (positional.size() != 3 || positional[0] != "window" || text)
        return Usage();
    QApplication::setApplicationName("RaviraZazu");
    CFirstPaint probe(QStringLiteral("CRaviraZazuDlg"), idle, since);
    application.installEventFilter(&probe);
    CRaviraZazuDlg::Options options;
    options.toolDir = positional[1];
    options.documentPath = positional[2];
    options.attachLog = log;
    CRaviraZazuApp app(options);
    return app.InitInstance();
#endif
}
