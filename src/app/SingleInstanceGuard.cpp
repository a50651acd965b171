#include "app/SingleInstanceGuard.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

// A request or an answer longer than this is none of ours.
constexpr qsizetype kMaxLine = 4096;

// True when the peer of a connected local socket runs as this user.
bool PeerIsThisUser(int fd)
{
    struct ucred credentials
    {
    };
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
}

// The address of a socket path; false when the path does not fit.
bool SocketAddress(const QByteArray& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    return true;
}

// Writes all bytes to a non-blocking socket, waiting up to timeoutMs each time it is full.
bool SendAll(int fd, const QByteArray& bytes, int timeoutMs)
{
    qsizetype sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = ::send(fd, bytes.constData() + sent,
                                 static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
        {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        {
            pollfd room{fd, POLLOUT, 0};
            if (::poll(&room, 1, timeoutMs) <= 0)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

// A copy that asked something: its socket, the event loop's watch on it, what it sent that
// has not been answered yet.
struct CSingleInstanceGuard::CConnection
{
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QByteArray received;
};

CSingleInstanceGuard::CSingleInstanceGuard(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    while (!m_connections.empty())
        Drop(m_connections.back().get());
    if (m_serverFd >= 0)
    {
        delete m_serverNotifier;
        ::close(m_serverFd);
        ::unlink(SocketPath().toLocal8Bit().constData());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

QString CSingleInstanceGuard::SocketPath() const
{
    return m_folder + "/" + kInstanceName;
}

QString CSingleInstanceGuard::LockPath() const
{
    return m_folder + "/" + kInstanceName + ".lock";
}

void CSingleInstanceGuard::SetRaiseHandler(std::function<bool(const QString&)> handler)
{
    m_raise = std::move(handler);
}

void CSingleInstanceGuard::SetReloadHandler(std::function<bool()> handler)
{
    m_reload = std::move(handler);
}

CSingleInstanceGuard::Outcome CSingleInstanceGuard::Acquire(const QString& title)
{
    const QByteArray lockPath = LockPath().toLocal8Bit();
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd >= 0 && ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0)
    {
        // The lock is ours: a socket left by a copy that died is stale.
        ::unlink(SocketPath().toLocal8Bit().constData());
        Listen();
        return Outcome::First;
    }
    if (m_lockFd >= 0)
    {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
    const QString answer = Request(SocketPath(), "raise\t" + title);
    return answer == "raised" ? Outcome::Raised : Outcome::NoWindow;
}

bool CSingleInstanceGuard::Listen()
{
    // Bound in a fresh folder that only this user may enter, made reachable for this user
    // alone, and then moved into place: others never see a socket they could connect to.
    QByteArray staging = (m_folder + "/.gcXXXXXX").toLocal8Bit();
    if (::mkdtemp(staging.data()) == nullptr)
        return false;
    const QByteArray bound = staging + "/s";
    const QByteArray path = SocketPath().toLocal8Bit();
    sockaddr_un address{};
    const int fd = SocketAddress(bound, address)
                       ? ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)
                       : -1;
    const bool listening =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::chmod(bound.constData(), S_IRUSR | S_IWUSR) == 0 && ::listen(fd, 16) == 0 &&
        ::rename(bound.constData(), path.constData()) == 0;
    ::unlink(bound.constData()); // still there only when it was not moved
    ::rmdir(staging.constData());
    if (!listening)
    {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_serverFd = fd;
    m_serverNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_serverNotifier, &QSocketNotifier::activated, this,
            &CSingleInstanceGuard::OnConnection);
    return true;
}

void CSingleInstanceGuard::OnConnection()
{
    for (;;)
    {
        const int fd = ::accept4(m_serverFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0)
            return;
        if (!PeerIsThisUser(fd))
        {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<CConnection>();
        connection->fd = fd;
        connection->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        CConnection* added = connection.get();
        connect(added->notifier, &QSocketNotifier::activated, this,
                [this, added] { OnReadable(added); });
        m_connections.push_back(std::move(connection));
    }
}

void CSingleInstanceGuard::OnReadable(CConnection* connection)
{
    // Not again while a handler runs (it may open an event loop of its own).
    connection->notifier->setEnabled(false);
    bool ended = false;
    for (;;)
    {
        char buffer[512];
        const ssize_t n = ::recv(connection->fd, buffer, sizeof buffer, 0);
        if (n > 0)
        {
            connection->received.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    for (qsizetype newline = connection->received.indexOf('\n'); newline >= 0;
         newline = connection->received.indexOf('\n'))
    {
        const QString line = QString::fromUtf8(connection->received.left(newline));
        connection->received.remove(0, newline + 1);
        if (!SendAll(connection->fd, AnswerTo(line).toUtf8() + "\n", 2000))
            ended = true;
    }
    if (ended || connection->received.size() > kMaxLine)
    {
        Drop(connection);
        return;
    }
    connection->notifier->setEnabled(true);
}

QString CSingleInstanceGuard::AnswerTo(const QString& line)
{
    if (line.startsWith("raise\t"))
        return (m_raise && m_raise(line.mid(6))) ? "raised" : "nowindow";
    if (line == "reload")
        return (m_reload && m_reload()) ? "reloaded" : "nowindow";
    return "unknown";
}

void CSingleInstanceGuard::Drop(CConnection* connection)
{
    connection->notifier->setEnabled(false);
    connection->notifier->deleteLater();
    ::close(connection->fd);
    std::erase_if(m_connections, [connection](const std::unique_ptr<CConnection>& held)
                  { return held.get() == connection; });
}

QString CSingleInstanceGuard::Request(const QString& socketPath, const QString& request,
                                      int timeoutMs)
{
    sockaddr_un address{};
    if (!SocketAddress(socketPath.toLocal8Bit(), address))
        return {};
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return {};
    QString answer;
    // A local socket connects at once or not at all.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        SendAll(fd, request.toUtf8() + "\n", timeoutMs))
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        QByteArray received;
        for (;;)
        {
            if (const qsizetype newline = received.indexOf('\n'); newline >= 0)
            {
                answer = QString::fromUtf8(received.left(newline)).trimmed();
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd readable{fd, POLLIN, 0};
            const int ready =
                left.count() > 0 ? ::poll(&readable, 1, static_cast<int>(left.count())) : 0;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char buffer[512];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
                received.append(buffer, n);
            else if (n == 0 || (errno != EINTR && errno != EAGAIN))
                break;
            if (received.size() > kMaxLine)
                break;
        }
    }
    ::close(fd);
    return answer;
}
