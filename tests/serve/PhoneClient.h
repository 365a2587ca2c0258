// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <utility>

// A phone as the server sees it: a plain HTTP client on the loopback address, holding the
// session cookie and the anti-forgery token once paired. Each request runs on a thread of its
// own while this thread's event loop goes on, so a server answering on this thread answers.
class PhoneClient
{
public:
    explicit PhoneClient(int port)
        : m_port(port)
    { }

    struct Reply
    {
        int status = 0; // 0: no answer at all
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray& name) const;
        QJsonValue json() const;
        QString error() const; // the "error" of a JSON refusal
    };

    Reply get(const QString& path) const { return send("GET", path, {}); }
    Reply post(const QString& path, const QByteArray& body) const { return send("POST", path, body); }
    Reply put(const QString& path, const QByteArray& body) const { return send("PUT", path, body); }
    Reply remove(const QString& path) const { return send("DELETE", path, {}); }
    Reply send(const QByteArray& method, const QString& path, const QByteArray& body) const;

    // Follows a pairing URL (its path and query); true when a session cookie came back. The
    // anti-forgery token is then read from /api/state.
    bool pair(const QString& pairingUrl);

    QByteArray cookie; // "kotrina_session=…"
    QByteArray csrf; // sent as X-CSRF-Token when not empty

private:
    int m_port;
};

// The path and query of a URL ("/pair?code=…").
QString pathOf(const QString& url);
