// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/DatabaseName.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// A URI that does not read as one, shown without whatever stands between "//" and "@"
// (it may hold a password).
QString withoutCredentials(const QString& uri)
{
    const qsizetype at = uri.indexOf(QLatin1Char('@'));
    const qsizetype start = uri.indexOf(QStringLiteral("//")) + 2;
    return at > start ? uri.left(start) + QStringLiteral("…") + uri.mid(at) : uri;
}

} // namespace

namespace DatabaseName {

bool isServer(const QString& name)
{
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
        || name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::optional<Server> parse(const QString& uri, QString* error)
{
    const auto refuse = [error](const QString& text) -> std::optional<Server> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (!isServer(uri))
        return refuse(QStringLiteral("サーバーのURIではありません: %1").arg(uri));
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid())
        return refuse(QStringLiteral("サーバーのURIが正しくありません: %1").arg(withoutCredentials(uri)));
    Server server;
    server.host = url.host(QUrl::FullyDecoded);
    server.port = url.port(-1);
    server.user = url.userName(QUrl::FullyDecoded);
    server.password = url.password(QUrl::FullyDecoded);
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("サーバーのURIが正しくありません: %1").arg(withoutCredentials(uri)));
    server.database = path;
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key.isEmpty())
            return refuse(QStringLiteral("サーバーのURIが正しくありません: %1").arg(withoutCredentials(uri)));
        server.options.append({ key, value });
    }
    return server;
}

namespace {

QString written(const Server& server, bool withPassword, QUrl::ComponentFormattingOptions encoding)
{
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    // An empty host still needs the authority's slashes: postgresql:///shop.
    url.setHost(server.host.isEmpty() ? QString() : server.host);
    if (!server.user.isEmpty())
        url.setUserName(server.user);
    if (withPassword && !server.password.isEmpty())
        url.setPassword(server.password);
    if (server.port > 0)
        url.setPort(server.port);
    url.setPath(QLatin1Char('/') + server.database);
    if (!server.options.isEmpty()) {
        QUrlQuery query;
        query.setQueryItems(server.options);
        url.setQuery(query);
    }
    QString text = url.toString(encoding);
    // QUrl writes an empty authority as "postgresql:/shop", which libpq and people misread.
    if (url.authority().isEmpty())
        text.replace(0, QStringLiteral("postgresql:").size(), QStringLiteral("postgresql://"));
    return text;
}

} // namespace

QString format(const Server& server, bool withPassword)
{
    return written(server, withPassword, QUrl::FullyEncoded);
}

// Japanese names of databases and users are shown as they are, not as %E6%A3%9A…: the
// delimiters stay encoded, so the text still reads back as the same URI.
QString display(const QString& name)
{
    if (!isServer(name))
        return name;
    const std::optional<Server> server = parse(name);
    return server ? written(*server, false, QUrl::PrettyDecoded) : withoutCredentials(name);
}

} // namespace DatabaseName
