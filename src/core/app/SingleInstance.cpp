#include "core/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
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
    return m_server.listen(m_key);
}

SingleInstance::Start SingleInstance::start(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (handOverToRunning())
            return Start::HandedOver;
        if (listen())
            return Start::Running;
        // Any other failure is no sign of another instance: run without the name.
        if (m_server.serverError() != QAbstractSocket::AddressInUseError) {
            qWarning("single instance: %s", qPrintable(m_server.errorString()));
            return Start::Running;
        }
        // The name is taken by a start that does not answer yet (or by one that is ending):
        // ask again, or take the name once it is free.
        if (clock.elapsed() >= timeoutMs)
            return Start::Blocked;
        QThread::msleep(50);
    }
}
