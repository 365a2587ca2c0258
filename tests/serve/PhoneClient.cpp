// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "PhoneClient.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <chrono>
#include <future>
#include <httplib.h>
#include <thread>

QByteArray PhoneClient::Reply::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QJsonValue PhoneClient::Reply::json() const
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QString PhoneClient::Reply::error() const
{
    return json().toObject().value(QStringLiteral("error")).toString();
}

PhoneClient::Reply PhoneClient::send(const QByteArray& method, const QString& path, const QByteArray& body) const
{
    httplib::Headers headers;
    if (!cookie.isEmpty())
        headers.emplace("Cookie", cookie.toStdString());
    if (!csrf.isEmpty())
        headers.emplace("X-CSRF-Token", csrf.toStdString());
    const int port = m_port;
    const std::string target = path.toStdString();
    const std::string content = body.toStdString();
    const std::string verb = method.toStdString();
    std::future<Reply> answer = std::async(std::launch::async, [=] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30);
        httplib::Result result = verb == "GET" ? client.Get(target, headers)
            : verb == "POST"                   ? client.Post(target, headers, content, "application/json")
            : verb == "PUT"                    ? client.Put(target, headers, content, "application/json")
                                               : client.Delete(target, headers);
        Reply reply;
        if (!result)
            return reply;
        reply.status = result->status;
        reply.body = QByteArray::fromStdString(result->body);
        for (const auto& [name, value] : result->headers)
            reply.headers.append({ QByteArray::fromStdString(name), QByteArray::fromStdString(value) });
        return reply;
    });
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return answer.get();
}

bool PhoneClient::pair(const QString& pairingUrl)
{
    const Reply reply = get(pathOf(pairingUrl));
    const QByteArray setCookie = reply.header("Set-Cookie");
    if (reply.status != 303 || setCookie.isEmpty())
        return false;
    cookie = setCookie.split(';').constFirst();
    const Reply state = get(QStringLiteral("/api/state"));
    csrf = state.json().toObject().value(QStringLiteral("csrf")).toString().toLatin1();
    return state.status == 200 && !csrf.isEmpty();
}

QString pathOf(const QString& url)
{
    const QUrl parsed(url);
    return parsed.path() + QLatin1Char('?') + parsed.query();
}
