#include "WidgetTestSupport.h"
#include "app/SingleInstanceGuard.h"
#include "platform/Profile.h"

#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using rztest::CTempDir;

namespace
{

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

    CTempDir m_dir;
    QProcessEnvironment m_environment;
    QProcess m_first;
    QProcess m_second;
};

} // namespace

TEST_F(SingleCopyTest, ASecondCopyBringsTheFirstToTheFrontAndEnds)
{
    Start(m_first);
    // The first copy is ready once it has stored its window title for later copies.
    RZ_TRY_TRUE(ProfileTitle().find("Title=Gateway Config Tool") != std::string::npos, 15000);
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
    const QString socketPath = QString::fromStdString(m_dir.File("run/GatewayConfig"));
    EXPECT_EQ(CSingleInstanceGuard::Request(socketPath, "reload"), "reloaded");

    // Another user cannot reach it.
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0)
    {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(77);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = socketPath.toLocal8Bit();
        std::memcpy(address.sun_path, path.constData(),
                    std::min<size_t>(path.size(), sizeof address.sun_path - 1));
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ::_exit(0); // refused, as it should be
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot become another user here (needs root)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "another user reached the socket";
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
