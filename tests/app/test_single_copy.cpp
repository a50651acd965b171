#include "WidgetTestSupport.h"
#include "app/RaviraZazuApp.h"
#include "app/SingleInstanceGuard.h"
#include "platform/Profile.h"

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using rztest::CTempDir;
using rztest::Entries;

namespace
{

// A client of the running copy's socket, byte by byte as another program would talk to it.
int Connect(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool Send(int fd, const std::string& bytes)
{
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

// What the peer sends within the time, and whether it hung up.
struct Received
{
    bool ended = false;
    std::string bytes;
};

Received Receive(int fd, int milliseconds, bool untilNewline = false)
{
    Received received;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!(untilNewline && received.bytes.find('\n') != std::string::npos))
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
        {
            received.ended = true;
            break;
        }
        received.bytes.append(buffer, static_cast<size_t>(n));
    }
    return received;
}

// Runs a body as the user nobody in a child process; its exit status, or 77 when this
// process cannot become another user.
int AsAnotherUser(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0)
    {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(77);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs the real program, as a person would start it twice, in folders of the test's own.
class SingleCopyTest : public ::testing::Test
{
protected:
    SingleCopyTest()
    {
        std::filesystem::create_directories(m_dir.File("run"));
        std::filesystem::permissions(m_dir.File("run"), std::filesystem::perms::owner_all);
        const std::string documentFolder = m_dir.File("data/Quorix/MXR Gateway 4.5");
        std::filesystem::create_directories(documentFolder);
        rztest::WriteBytes(documentFolder + "/GatewayConfig.XML",
                           rztest::ReadBytes(rztest::SampleDocumentPath()));
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("QT_QPA_PLATFORM", "offscreen");
        m_environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(m_dir.File("run")));
        m_environment.insert("XDG_CONFIG_HOME", QString::fromStdString(m_dir.File("config")));
        m_environment.insert("XDG_STATE_HOME", QString::fromStdString(m_dir.File("state")));
        m_environment.insert("RAVIRAZAZU_COMMON_APPDATA",
                             QString::fromStdString(m_dir.File("data")));
        m_environment.insert("RAVIRAZAZU_DEBUG", "1");
        // No service manager for these copies: they must not reach the machine's.
        m_environment.insert("RAVIRAZAZU_SERVICE_BUS", "user");
        m_environment.insert("DBUS_SESSION_BUS_ADDRESS",
                             QString::fromStdString("unix:path=" + m_dir.File("run/no-bus")));
    }

    ~SingleCopyTest() override
    {
        for (QProcess* process : {&m_first, &m_second})
        {
            if (process->state() != QProcess::NotRunning)
            {
                process->kill(); // our own child, by its process id
                process->waitForFinished(5000);
            }
        }
    }

    void Start(QProcess& process)
    {
        process.setProcessEnvironment(m_environment);
        process.setProgram(RZ_APP_PATH);
        process.start();
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // What the program has written to its debugger output (stderr) so far.
    static QString& Output(QProcess& process, QString& seen)
    {
        seen += QString::fromUtf8(process.readAllStandardError());
        return seen;
    }

    std::string ProfileTitle() const
    {
        return rztest::ReadBytes(m_dir.File("config/RaviraZazu/profile.ini"));
    }
    // The first copy is ready once it has stored its window title for later copies.
    bool Ready() const
    {
        return ProfileTitle().find("Title=Gateway Config Tool") != std::string::npos;
    }
    std::string SocketPath() const { return m_dir.File("run/GatewayConfig"); }
    QString Ask(const QString& request) const
    {
        return CSingleInstanceGuard::Request(QString::fromStdString(SocketPath()), request);
    }
    // The text of the tool's log files so far.
    QString LogText() const
    {
        QString text;
        const std::string folder = m_dir.File("state/RaviraZazu/log");
        if (!std::filesystem::is_directory(folder))
            return text;
        for (const std::string& name : Entries(folder))
        {
            const std::string bytes = rztest::ReadBytes(folder + "/" + name);
            text += QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()),
                                       static_cast<qsizetype>(bytes.size() / 2));
        }
        return text;
    }

    CTempDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_first;
    QProcess m_second;
};

} // namespace

TEST_F(SingleCopyTest, ASecondCopyBringsTheFirstToTheFrontAndEnds)
{
    Start(m_first);
    RZ_TRY_TRUE(Ready(), 15000);
    // Its runtime folder holds the lock file and the socket, nothing else.
    EXPECT_EQ(Entries(m_dir.File("run")),
              (std::vector<std::string>{"GatewayConfig", "GatewayConfig.lock"}));
    Start(m_second);
    ASSERT_TRUE(m_second.waitForFinished(15000));
    EXPECT_EQ(m_second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_second.exitCode(), 0);
    QString firstOutput;
    RZ_TRY_TRUE(Output(m_first, firstOutput)
                    .contains("brought to the front at the request of another copy"),
                5000);
    EXPECT_EQ(m_first.state(), QProcess::Running);

    // The same socket asks the running copy to read its document again.
    EXPECT_EQ(Ask("reload"), "reloaded");
    RZ_TRY_TRUE(LogText().contains("reload of"), 5000);
}

TEST_F(SingleCopyTest, AnotherUserNeitherReachesTheSocketNorGetsAnAnswer)
{
    // The folders let others through, as a shared one would, and the copy runs under a umask
    // that would let anyone write to what it makes.
    using std::filesystem::perms;
    for (const std::string& folder : {m_dir.Path(), m_dir.File("run")})
        std::filesystem::permissions(folder,
                                     perms::owner_all | perms::group_exec | perms::others_exec);
    m_first.setChildProcessModifier([] { ::umask(0); });
    Start(m_first);
    RZ_TRY_TRUE(Ready(), 15000);
    const std::string path = SocketPath();
    const int reached = AsAnotherUser([&path] { return Connect(path) >= 0 ? 1 : 0; });
    if (reached == 77)
        GTEST_SKIP() << "cannot become another user here (needs root)";
    EXPECT_EQ(reached, 0) << "another user reached the socket";

    // One that gets in all the same (the socket's mode opened up) is not answered.
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    const int answered = AsAnotherUser(
        [&path]
        {
            const int fd = Connect(path);
            if (fd < 0)
                return 2;
            Send(fd, "reload\n"); // the copy may have hung up already
            const Received answer = Receive(fd, 5000);
            return answer.ended && answer.bytes.empty() ? 0 : 1;
        });
    EXPECT_EQ(answered, 0) << "another user was let in or answered";
    EXPECT_EQ(Ask("reload"), "reloaded");
}

TEST_F(SingleCopyTest, AStartAfterACopyDiedTakesOverItsLockAndSocket)
{
    // A copy that died left its lock file and its socket, on which nothing listens.
    rztest::WriteBytes(m_dir.File("run/GatewayConfig.lock"), "");
    const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketPath().c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(dead);
    ASSERT_TRUE(std::filesystem::is_socket(SocketPath()));

    Start(m_first);
    RZ_TRY_TRUE(Ready(), 15000);
    EXPECT_EQ(Ask("reload"), "reloaded");
}

TEST_F(SingleCopyTest, RequestsInPiecesAreAnsweredAndAnOverlongOrAbandonedOneHarmsNothing)
{
    Start(m_first);
    RZ_TRY_TRUE(Ready(), 15000);

    // A request may come in pieces.
    int fd = Connect(SocketPath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Send(fd, "rel"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(Send(fd, "oad\n"));
    EXPECT_EQ(Receive(fd, 5000, true).bytes, "reloaded\n");
    ::close(fd);

    // A line longer than 4096 bytes is none of ours: the copy hangs up.
    fd = Connect(SocketPath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(Send(fd, std::string(5000, 'x')));
    const Received overlong = Receive(fd, 5000);
    EXPECT_TRUE(overlong.ended);
    EXPECT_EQ(overlong.bytes, "");
    ::close(fd);

    // Copies that ask and go away before the answer do not take the running copy with them.
    for (int i = 0; i < 3; ++i)
    {
        fd = Connect(SocketPath());
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(Send(fd, "reload\n"));
        ::close(fd);
    }
    EXPECT_EQ(Ask("reload"), "reloaded");
    EXPECT_EQ(m_first.state(), QProcess::Running);
}

TEST_F(SingleCopyTest, ACopyWithoutAWindowOfTheStoredTitleMakesTheSecondSaySo)
{
    Start(m_first);
    RZ_TRY_TRUE(Ready(), 15000);
    // The profile names a title that the running window does not end with.
    std::string profile = ProfileTitle();
    profile.replace(profile.find("Title=Gateway Config Tool"), 25, "Title=Another Tool");
    rztest::WriteBytes(m_dir.File("config/RaviraZazu/profile.ini"), profile);

    Start(m_second);
    QString output;
    RZ_TRY_TRUE(Output(m_second, output).contains("message box: RaviraZazu is running"), 15000);
    EXPECT_EQ(m_first.state(), QProcess::Running);
}

TEST_F(SingleCopyTest, WithTheLockHeldAndNoAnswerTheSecondCopySaysTheToolIsRunning)
{
    // A copy that holds the lock but does not answer yet, as one that is still starting.
    const std::string lockPath = m_dir.File("run/GatewayConfig.lock");
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);

    Start(m_second);
    QString output;
    RZ_TRY_TRUE(Output(m_second, output).contains("message box: RaviraZazu is running"), 15000);
    // It touched no file: no title was stored, no log was begun.
    EXPECT_EQ(ProfileTitle(), "");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("state/RaviraZazu")));
    ::close(lock);
}

namespace
{

// The application object in this process, on the sample's files, with a runtime folder of
// its own.
class ApplicationTest : public rztest::WindowTest
{
protected:
    ApplicationTest()
    {
        std::filesystem::create_directories(m_dir.File("run"));
        std::filesystem::permissions(m_dir.File("run"), std::filesystem::perms::owner_all);
    }

    rztest::CScopedEnv m_runtime{"XDG_RUNTIME_DIR", m_dir.File("run")};
};

} // namespace

TEST_F(ApplicationTest, WithoutTheDocumentOrWithAnotherCopyStartingTheToolEndsWithoutAWindow)
{
    // A main window that opens is counted and closed at once.
    int windows = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&windows]
                     {
                         for (QWidget* widget : QApplication::topLevelWidgets())
                         {
                             auto* window = qobject_cast<CRaviraZazuDlg*>(widget);
                             if (window != nullptr && window->isVisible())
                             {
                                 ++windows;
                                 window->done(QDialog::Rejected);
                             }
                         }
                     });
    watch.start(20);

    // The document is lost: the tool says so and ends, and its socket goes with it.
    {
        CRaviraZazuDlg::Options options = Options();
        options.documentPath = m_dir.File("data/Missing.XML");
        rztest::CMessageBoxAnswerer answerer;
        CRaviraZazuApp app(options);
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(answerer.Texts(), QStringList{"Config file was lost."});
    }
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(Entries(m_dir.File("run")), std::vector<std::string>{"GatewayConfig.lock"});

    // Another copy holds the lock and does not answer yet: this one says so and ends.
    const int lock = ::open(m_dir.File("run/GatewayConfig.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    {
        rztest::CMessageBoxAnswerer answerer;
        CRaviraZazuApp app(Options());
        EXPECT_EQ(app.InitInstance(), 0);
        EXPECT_EQ(answerer.Texts(), QStringList{"RaviraZazu is running"});
    }
    ::close(lock);
    EXPECT_EQ(windows, 0);
}
