// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/serve/PhoneRegistry.h"
#include "core/store/Database.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// A request of a phone as the server hands it over: nothing of the HTTP library in it.
struct PhoneRequest
{
    QByteArray method; // GET, POST, PUT, DELETE
    QString path; // decoded, without the query
    QHash<QString, QString> query;
    QByteArray cookie; // the Cookie header
    QByteArray csrf; // the X-CSRF-Token header
    QByteArray body;
};

struct PhoneResponse
{
    int status = 200;
    QByteArray contentType = "application/json; charset=utf-8";
    QByteArray body;
    QList<std::pair<QByteArray, QByteArray>> headers; // Set-Cookie, Location, …
};

// What a phone may do, answered on the thread that owns the database connection: the pairing
// codes, the sessions, the validation of a line with the entry screen's rules and messages,
// the registration of each line identifier once. Lines are registered for the date the desk
// set, under the phone's name as station.
class PhoneService : public QObject
{
    Q_OBJECT
public:
    PhoneService(const Database& db, QDate date, QObject* parent = nullptr);

    QDate date() const { return m_date; }
    void setHttps(bool https) { m_https = https; }

    // A fresh one-time pairing code, valid for CodeLifetimeSeconds for one phone; the codes
    // given before stay valid until used or expired.
    QString newPairingCode();
    static constexpr int CodeLifetimeSeconds = 300;
    // After this many failed pairings in a row each further one is held off, doubling up to
    // a minute.
    static constexpr int FreeFailures = 3;

    PhoneResponse answer(const PhoneRequest& request);

    // The cookie's name holding the session token.
    static constexpr auto CookieName = "kotrina_session";
    // The anti-forgery token of a session: derived from its token, so it holds across restarts
    // of the server, and unknown to a page of another site (it cannot read the cookie).
    static QString csrfOf(const QString& sessionToken);

Q_SIGNALS:
    // A phone paired, or one of the lines of a phone was written: the desk shows it.
    void phonesChanged();
    void linesChanged();

private:
    PhoneResponse pairPhone(const PhoneRequest& request);
    PhoneResponse page(const QString& path);
    PhoneResponse state(const PhoneRegistry::Phone& phone, const QString& token);
    PhoneResponse products(const QString& text);
    PhoneResponse lines(const PhoneRegistry::Phone& phone);
    PhoneResponse postLine(const PhoneRegistry::Phone& phone, const QByteArray& body);
    PhoneResponse putLine(const PhoneRegistry::Phone& phone, const QString& key, const QByteArray& body);
    PhoneResponse deleteLine(const PhoneRegistry::Phone& phone, const QString& key);
    std::optional<QString> sessionToken(const PhoneRequest& request) const;

    const Database& m_db;
    QDate m_date;
    bool m_https = false;
    QHash<QString, QDateTime> m_codes; // pairing code → valid until
    int m_failedPairings = 0;
    QDateTime m_pairingHeldUntil;
};
