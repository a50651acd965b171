#include "PrivateBus.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

// The first executable dbus-daemon on PATH; looked up before fork, where the child may only
// make async-signal-safe calls.
std::string FindDaemon()
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= folders.size())
    {
        const size_t end = std::min(folders.find(':', begin), folders.size());
        const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
        const std::string candidate = folder + "/dbus-daemon";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return {};
}

// What the watcher needs, prepared before fork.
struct CWatchPlan
{
    const char* daemonPath;
    char* const* argv;
    // Removed once the daemon has ended, folder last.
    const char* socket;
    const char* config;
    const char* folder;
};

// Runs in the forked watcher, which has the address pipe's write end as descriptor 3 and the
// lifeline's read end as descriptor 4. It starts the daemon as its own child and waits for the
// lifeline to close: the owning process closed it, or the kernel did when that process ended.
// The daemon is told to end then, and its files go. Should the watcher itself be killed, the
// daemon gets SIGKILL from the kernel (the watcher has one thread, so the parent-death signal
// cannot fire early, as it would if the forking thread of a threaded owner ended).
// Only async-signal-safe calls: the owner may have other threads.
[[noreturn]] void Watch(const CWatchPlan& plan)
{
    // Neither keeps the owner's terminal or output pipes open (a test runner waits for those
    // to close); the daemon's complaints about descriptor limits are noise here, and its
    // failures show as no address.
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0)
    {
        for (int fd = 0; fd <= 2; ++fd)
            ::dup2(null, fd);
        if (null > 4)
            ::close(null);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr); // the daemon inherits the mask across exec
    const pid_t watcher = ::getpid();
    const pid_t daemon = ::fork();
    if (daemon == 0)
    {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != watcher)
            ::_exit(127);
        ::close(4);
        ::execve(plan.daemonPath, plan.argv, environ);
        ::_exit(127);
    }
    ::close(3); // only the daemon writes the address
    if (daemon > 0)
    {
        char byte = 0;
        while (::read(4, &byte, 1) < 0 && errno == EINTR)
        {
        }
        ::kill(daemon, SIGTERM);
        while (::waitpid(daemon, nullptr, 0) < 0 && errno == EINTR)
        {
        }
    }
    ::unlink(plan.socket);
    ::unlink(plan.config);
    ::rmdir(plan.folder);
    ::_exit(0);
}

} // namespace

CPrivateBus::CPrivateBus() = default;

CPrivateBus::~CPrivateBus()
{
    if (m_lifeline >= 0)
        ::close(m_lifeline); // the watcher ends the daemon, removes its files, then ends
    if (m_watcher > 0)
        ::waitpid(m_watcher, nullptr, 0); // our own child, by its process id
    if (!m_folder.empty())
    {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }
}

bool CPrivateBus::Start()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rzbus.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
    {
        m_error = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    m_folder = pattern;
    const std::string socket = m_folder + "/bus";
    const std::string config = m_folder + "/bus.conf";
    {
        // Anyone on this private bus may own any name and talk to anyone.
        std::ofstream out(config);
        out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n  <type>session</type>\n  <listen>unix:path="
            << socket
            << "</listen>\n  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n    <allow send_destination=\"*\" "
               "eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n    <allow user=\"*\"/>\n"
               "  </policy>\n</busconfig>\n";
    }
    const std::string daemonPath = FindDaemon();
    if (daemonPath.empty())
    {
        m_error = "cannot start dbus-daemon: not found on PATH";
        return false;
    }
    // dbus-daemon prints its address on a pipe once it listens: reading it waits for that.
    // Both pipes are closed on exec, so no other program we start holds the lifeline open.
    int address[2];
    int lifeline[2];
    if (::pipe2(address, O_CLOEXEC) != 0)
    {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    if (::pipe2(lifeline, O_CLOEXEC) != 0)
    {
        m_error = std::string("pipe: ") + std::strerror(errno);
        ::close(address[0]);
        ::close(address[1]);
        return false;
    }
    std::string configArg = "--config-file=" + config;
    char program[] = "dbus-daemon";
    char noFork[] = "--nofork";
    char printAddress[] = "--print-address=3";
    char* argv[] = {program, noFork, configArg.data(), printAddress, nullptr};
    rlimit files{};
    const int maxFd = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY
                          ? static_cast<int>(files.rlim_cur)
                          : 65536;

    m_watcher = ::fork();
    if (m_watcher == 0)
    {
        // Move the two ends to 3 and 4 by way of free numbers (either may be 3 or 4 now),
        // and drop every other descriptor, among them other buses' lifelines.
        const int addressEnd = ::fcntl(address[1], F_DUPFD, 10);
        const int lifelineEnd = ::fcntl(lifeline[0], F_DUPFD, 10);
        if (addressEnd < 0 || lifelineEnd < 0 || ::dup2(addressEnd, 3) != 3 ||
            ::dup2(lifelineEnd, 4) != 4)
            ::_exit(127);
        if (::close_range(5, ~0U, 0) != 0)
        {
            for (int fd = 5; fd < maxFd; ++fd)
                ::close(fd);
        }
        Watch({daemonPath.c_str(), argv, socket.c_str(), config.c_str(), m_folder.c_str()});
    }
    const int forkError = errno;
    ::close(address[1]);
    ::close(lifeline[0]);
    if (m_watcher < 0)
    {
        ::close(address[0]);
        ::close(lifeline[1]);
        m_error = std::string("cannot start dbus-daemon: ") + std::strerror(forkError);
        return false;
    }
    m_lifeline = lifeline[1];

    std::string printed;
    char c = 0;
    for (;;)
    {
        const ssize_t n = ::read(address[0], &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != 1 || c == '\n')
            break;
        printed.push_back(c);
    }
    ::close(address[0]);
    if (printed.empty())
    {
        m_error = "dbus-daemon ended without listening";
        return false;
    }
    m_address = printed;
    return true;
}
