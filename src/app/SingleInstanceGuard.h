#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

// Makes sure one copy of the tool runs per user: the first copy holds a lock file and
// listens on a local socket named "GatewayConfig" in the user's runtime folder; a later copy
// finds the lock taken and asks the first, over the socket, to bring its window to the front.
// The socket also takes "reload", which reads the configuration document again. Only the
// same user can reach it. It is a plain Unix socket watched by the event loop (the toolkit's
// network module would cost every start its libraries).
class CSingleInstanceGuard : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kInstanceName = "GatewayConfig";

    // What a later copy learns from its attempt.
    enum class Outcome
    {
        First,    // this is the first copy: it now holds the lock and listens
        Raised,   // another copy runs and brought its window to the front
        NoWindow, // another copy runs but has no window with the title (still starting)
    };

    // folder: where the lock file and the socket live (the user's runtime folder).
    explicit CSingleInstanceGuard(QString folder, QObject* parent = nullptr);
    ~CSingleInstanceGuard() override;

    // Takes the lock, or asks the running copy to show its window with that title.
    Outcome Acquire(const QString& title);

    // What the first copy does when asked; each returns whether it could.
    void SetRaiseHandler(std::function<bool(const QString& title)> handler);
    void SetReloadHandler(std::function<bool()> handler);

    QString SocketPath() const;
    QString LockPath() const;

    // Sends one request ("raise\tTITLE" or "reload") to a running copy; returns its answer,
    // or empty when none answered within timeoutMs.
    static QString Request(const QString& socketPath, const QString& request, int timeoutMs = 2000);

private:
    struct CConnection;

    // Listens on the socket path, which only this user may reach. False when it cannot.
    bool Listen();
    void OnConnection();
    // Reads what a connection sent and answers each whole line; closes it at its end.
    void OnReadable(CConnection* connection);
    QString AnswerTo(const QString& line);
    void Drop(CConnection* connection);

    QString m_folder;
    int m_lockFd = -1;
    int m_serverFd = -1;
    QSocketNotifier* m_serverNotifier = nullptr;
    std::vector<std::unique_ptr<CConnection>> m_connections;
    std::function<bool(const QString&)> m_raise;
    std::function<bool()> m_reload;
};
