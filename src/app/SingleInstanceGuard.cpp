#include "app/SingleInstanceGuard.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

// True when the peer of a local socket runs as this user.
bool PeerIsThisUser(QLocalSocket* socket)
{
    struct ucred credentials
    {
    };
    socklen_t length = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                     &credentials, &length) != 0)
        return false;
    return credentials.uid == ::getuid();
}

} // namespace

CSingleInstanceGuard::CSingleInstanceGuard(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

CSingleInstanceGuard::~CSingleInstanceGuard()
{
    if (m_server != nullptr)
        m_server->close();
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
        QLocalServer::removeServer(SocketPath());
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        m_server->listen(SocketPath());
        connect(m_server, &QLocalServer::newConnection, this, &CSingleInstanceGuard::OnConnection);
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

void CSingleInstanceGuard::OnConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection())
    {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsThisUser(socket))
        {
            socket->disconnectFromServer();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Answer(socket); });
        if (socket->canReadLine())
            Answer(socket);
    }
}

void CSingleInstanceGuard::Answer(QLocalSocket* socket)
{
    while (socket->canReadLine())
    {
        const QString line = QString::fromUtf8(socket->readLine()).chopped(1);
        QString reply = "unknown";
        if (line.startsWith("raise\t"))
            reply = (m_raise && m_raise(line.mid(6))) ? "raised" : "nowindow";
        else if (line == "reload")
            reply = (m_reload && m_reload()) ? "reloaded" : "nowindow";
        socket->write(reply.toUtf8() + "\n");
        socket->flush();
    }
}

QString CSingleInstanceGuard::Request(const QString& socketPath, const QString& request,
                                      int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request.toUtf8() + "\n");
    if (!socket.waitForBytesWritten(timeoutMs))
        return {};
    while (!socket.canReadLine())
    {
        if (!socket.waitForReadyRead(timeoutMs))
            return {};
    }
    return QString::fromUtf8(socket.readLine()).trimmed();
}
