// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/serve/PhoneService.h"

#include <QObject>
#include <QString>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

// The counting server for phones on the shop's network: HTTP (or HTTPS with the shop's own
// certificate and key) from cpp-httplib, whose threads read the requests and hand each to the
// thread that owns the database connection (this object's), where PhoneService answers it.
// Requests waiting there at the same moment are answered one after the other in one go, their
// writes committed together (one sync to the disk for all: the answers wait for it). It
// listens from start() to stop() (or its destruction) only.
class PhoneServer : public QObject
{
    Q_OBJECT
public:
    PhoneServer(const Database& db, QDate date, QObject* parent = nullptr);
    ~PhoneServer() override;
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    struct Options
    {
        QString address = QStringLiteral("0.0.0.0"); // every interface of the computer
        int port = DefaultPort; // 0: a free one
        QString certificate; // both set: HTTPS
        QString key;
    };
    static constexpr int DefaultPort = 8080;
    // Bodies above this are refused before they are read.
    static constexpr int MostBody = 64 * 1024;

    // False with the reason (Japanese, for the user) in error.
    bool start(const Options& options, QString* error = nullptr);
    void stop();
    bool isListening() const { return m_listening; }
    int port() const { return m_port; }
    bool https() const { return m_https; }

    // The page's address as a phone on the network reaches it: http(s)://ADDRESS:PORT/, with
    // this computer's address on the local network when listening on every interface.
    QString pageAddress() const;
    // The page's address with a fresh one-time pairing code: /pair?code=C.
    QString newPairingUrl();

    PhoneService& service() { return m_service; }

private:
    struct Job;
    void enqueue(const std::shared_ptr<Job>& job);
    void answerWaiting();

    const Database& m_db;
    PhoneService m_service;
    std::unique_ptr<httplib::Server> m_http;
    std::thread m_listener;
    bool m_listening = false;
    bool m_https = false;
    int m_port = 0;
    QString m_address;

    std::mutex m_mutex; // guards what follows, shared with the library's threads
    std::deque<std::shared_ptr<Job>> m_waiting;
    bool m_stopping = true;
};
