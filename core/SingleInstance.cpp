#include "SingleInstance.h"

#include "file/NativePath.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const char* const kActivate = "activate\n";
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lock >= 0)
        ::close(m_lock);
}

SingleInstance::Role SingleInstance::acquire()
{
    if (m_folder.isEmpty())
        return Role::Unavailable;
    const QString lockPath = m_folder + QStringLiteral("/instance.lock");
    const QString socketPath = m_folder + QStringLiteral("/instance.socket");
    m_lock = ::open(sheet::encodePath(lockPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lock < 0)
        return Role::Unavailable;
    if (::flock(m_lock, LOCK_EX | LOCK_NB) == 0) {
        // Ours. A socket left by an instance that crashed goes first.
        QLocalServer::removeServer(socketPath);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        QObject::connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = m_server->nextPendingConnection()) {
                QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                QObject::connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                    if (peer->readAll().contains(kActivate))
                        emit activationRequested();
                });
            }
        });
        // Without the socket this stays the only instance; later starts just cannot wake it.
        m_server->listen(socketPath);
        return Role::First;
    }
    ::close(m_lock);
    m_lock = -1;
    // The running instance may still be starting: give it a few seconds to listen.
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(500)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(1000);
            break;
        }
        QThread::msleep(100);
    }
    return Role::Another;
}
