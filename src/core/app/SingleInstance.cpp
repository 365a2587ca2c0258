// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QMetaMethod>
#include <QThread>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr QByteArrayView Raise("raise\n");
constexpr QByteArrayView OpenWord("open");
constexpr QByteArrayView OpenVersion("2");
constexpr QByteArrayView Taken("ok\n");
constexpr QByteArrayView NotUnderstood("?\n");
// A path is far shorter; a longer announcement is not ours.
constexpr qsizetype MaxPathBytes = 1 << 20;

// What one connection has sent so far, read as far as it is complete.
struct Request
{
    QByteArray received;
    bool handled = false;
};

enum class Parsed
{
    Incomplete,
    Open,
    Unknown,
    Foreign
};

Parsed parse(const QByteArray& data, QString* file)
{
    if (data.size() < Raise.size())
        return Raise.startsWith(data) ? Parsed::Incomplete : Parsed::Foreign;
    if (!data.startsWith(Raise))
        return Parsed::Foreign;
    const QByteArrayView rest = QByteArrayView(data).sliced(Raise.size());
    if (rest.isEmpty())
        return Parsed::Incomplete; // a plain "raise", unless more follows before the end
    const qsizetype lineEnd = rest.indexOf('\n');
    if (lineEnd < 0)
        return rest.size() > 64 ? Parsed::Unknown : Parsed::Incomplete;
    const QList<QByteArray> words = rest.first(lineEnd).toByteArray().split(' ');
    if (words.size() != 3 || words[0] != OpenWord || words[1] != OpenVersion)
        return Parsed::Unknown;
    bool number = false;
    const qsizetype length = words[2].toLongLong(&number);
    if (!number || length <= 0 || length > MaxPathBytes)
        return Parsed::Unknown;
    const QByteArrayView body = rest.sliced(lineEnd + 1);
    if (body.size() < length)
        return Parsed::Incomplete;
    *file = QString::fromUtf8(body.first(length));
    return Parsed::Open;
}

// True when the other side has closed the connection: what is left to read ends there.
bool peerGone(QLocalSocket* socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return true;
    char byte = 0;
    const qintptr fd = socket->socketDescriptor();
    return fd >= 0 && ::recv(int(fd), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent)
    , m_key(std::move(key))
{
    // An abstract socket name leaves no file behind that could go stale after a crash.
    m_server.setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            auto request = std::make_shared<Request>();
            // Called with what has arrived; ended: the other side has gone, nothing more comes.
            auto serve = [this, socket, request](bool ended) {
                if (request->handled)
                    return;
                request->received += socket->readAll();
                QString file;
                Parsed parsed = parse(request->received, &file);
                if (parsed == Parsed::Incomplete && !ended)
                    return;
                request->handled = true;
                switch (parsed) {
                case Parsed::Open:
                    // A start that gave up waiting for the answer has told its user the file
                    // was not taken: it is not opened behind their back.
                    if (ended || peerGone(socket)) {
                        Q_EMIT activationRequested();
                        break;
                    }
                    // Answered before the file is looked at, so the second start can end while
                    // this one asks its user.
                    socket->write(Taken.data(), Taken.size());
                    socket->flush();
                    if (isSignalConnected(QMetaMethod::fromSignal(&SingleInstance::openRequested)))
                        Q_EMIT openRequested(file);
                    else
                        m_pendingFile = file;
                    break;
                case Parsed::Unknown:
                    socket->write(NotUnderstood.data(), NotUnderstood.size());
                    socket->flush();
                    Q_EMIT activationRequested();
                    break;
                case Parsed::Incomplete:
                    // "raise" alone, or a request cut short: come forward at least.
                    if (request->received.startsWith(Raise))
                        Q_EMIT activationRequested();
                    break;
                case Parsed::Foreign:
                    break;
                }
                if (!ended)
                    socket->disconnectFromServer();
            };
            connect(socket, &QLocalSocket::readyRead, this, [serve] { serve(false); });
            connect(socket, &QLocalSocket::disconnected, this, [serve] { serve(true); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (socket->bytesAvailable() > 0)
                serve(false);
        }
    });
}

QString SingleInstance::keyFor(const QString& dataDir)
{
    const QByteArray hash = QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("kotrina-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::HandOver SingleInstance::handOverToRunning(const QString& file, int timeoutMs)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(timeoutMs))
        return HandOver::NoneRunning;
    QByteArray request = Raise.toByteArray();
    if (!file.isEmpty()) {
        const QByteArray path = file.toUtf8();
        request += OpenWord.toByteArray() + ' ' + OpenVersion.toByteArray() + ' ' + QByteArray::number(path.size())
            + '\n' + path;
    }
    socket.write(request);
    socket.waitForBytesWritten(timeoutMs);
    if (file.isEmpty()) {
        socket.disconnectFromServer();
        return HandOver::Raised;
    }
    // The running program answers as soon as its event loop reads the request; one busy
    // with a long piece of work (a compaction, a large print) may take a while.
    constexpr int AnswerMs = 30000;
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && socket.state() == QLocalSocket::ConnectedState && clock.elapsed() < AnswerMs) {
        if (socket.waitForReadyRead(int(AnswerMs - clock.elapsed())))
            answer += socket.readAll();
    }
    answer += socket.readAll();
    socket.disconnectFromServer();
    return answer.startsWith(Taken) ? HandOver::FileTaken : HandOver::FileNotTaken;
}

bool SingleInstance::listen()
{
    return m_server.listen(m_key);
}

QString SingleInstance::takePendingFile()
{
    return std::exchange(m_pendingFile, QString());
}

SingleInstance::Start SingleInstance::start(const QString& file, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        switch (handOverToRunning(file)) {
        case HandOver::Raised:
        case HandOver::FileTaken:
            return Start::HandedOver;
        case HandOver::FileNotTaken:
            return Start::FileNotTaken;
        case HandOver::NoneRunning:
            break;
        }
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
