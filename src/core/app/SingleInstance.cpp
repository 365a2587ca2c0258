#include "core/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <unistd.h>

namespace {
constexpr char Raise[] = "raise\n";
}

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent)
    , m_key(std::move(key))
{
    // An abstract socket name leaves no file behind that could go stale after a crash.
    m_server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(QByteArrayView(Raise, sizeof Raise - 1)))
                    Q_EMIT activationRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString SingleInstance::keyFor(const QString& dataDir)
{
    const QByteArray hash = QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("kotrina-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::handOverToRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(Raise, sizeof Raise - 1);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    if (m_server.listen(m_key))
        return true;
    // Another process took the name between our look and our listen: it is the running one.
    return false;
}
