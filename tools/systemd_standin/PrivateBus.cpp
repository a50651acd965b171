#include "PrivateBus.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

CPrivateBus::CPrivateBus() = default;

CPrivateBus::~CPrivateBus()
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGTERM); // our own child, by its process id
        ::waitpid(m_pid, nullptr, 0);
    }
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
    // dbus-daemon prints its address on a pipe once it listens: reading it waits for that.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
    {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::string configArg = "--config-file=" + config;
    char program[] = "dbus-daemon";
    char noFork[] = "--nofork";
    char printAddress[] = "--print-address=3";
    char* argv[] = {program, noFork, configArg.data(), printAddress, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The read end goes first: it may itself be descriptor 3.
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
    // Its complaints about descriptor limits are noise here; failures show as no address.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = ::posix_spawnp(&m_pid, "dbus-daemon", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0)
    {
        ::close(pipeFds[0]);
        m_pid = -1;
        m_error = std::string("cannot start dbus-daemon: ") + std::strerror(spawned);
        return false;
    }
    std::string printed;
    char c = 0;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
        printed.push_back(c);
    ::close(pipeFds[0]);
    if (printed.empty())
    {
        m_error = "dbus-daemon ended without listening";
        return false;
    }
    m_address = printed;
    return true;
}
