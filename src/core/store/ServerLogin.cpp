// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/ServerLogin.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QSaveFile>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QStringList Schemes = { QStringLiteral("postgresql"), QStringLiteral("postgres") };

// A field of a password file line: its colons and backslashes are escaped.
QString escaped(const QString& field)
{
    QString out = field;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char(':'), QStringLiteral("\\:"));
    return out;
}

// The first four fields of a password file line, unescaped; fewer for a line that is not one.
QStringList leadingFields(const QString& line)
{
    QStringList fields;
    QString field;
    for (qsizetype i = 0; i < line.size() && fields.size() < 4; ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            field += line.at(++i);
        } else if (c == QLatin1Char(':')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return fields;
}

} // namespace

bool ServerLogin::isServerName(const QString& name)
{
    const QString trimmed = name.trimmed();
    return std::any_of(Schemes.cbegin(), Schemes.cend(), [&trimmed](const QString& scheme) {
        return trimmed.startsWith(scheme + QStringLiteral("://"), Qt::CaseInsensitive);
    });
}

std::optional<ServerLogin> ServerLogin::fromName(const QString& name)
{
    if (!isServerName(name))
        return std::nullopt;
    const QUrl url(name.trimmed(), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    ServerLogin login;
    login.host = url.host();
    if (login.host.isEmpty())
        login.host = QStringLiteral("localhost");
    login.port = url.port(DefaultPort);
    login.database = url.path(QUrl::FullyDecoded).mid(1);
    login.user = url.userName(QUrl::FullyDecoded);
    login.password = url.password(QUrl::FullyDecoded);
    login.options = url.query(QUrl::FullyEncoded);
    return login;
}

QString ServerLogin::name(bool withPassword) const
{
    QUrl url;
    url.setScheme(Schemes.constFirst());
    url.setHost(host.trimmed().isEmpty() ? QStringLiteral("localhost") : host.trimmed());
    if (port != DefaultPort)
        url.setPort(port);
    url.setUserName(user, QUrl::DecodedMode);
    if (withPassword && !password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    url.setPath(QLatin1Char('/') + database, QUrl::DecodedMode);
    if (!options.isEmpty())
        url.setQuery(options, QUrl::StrictMode);
    return url.toString();
}

QString ServerLogin::shown(const QString& name)
{
    const std::optional<ServerLogin> login = fromName(name);
    return login ? login->name(false) : name;
}

bool ServerLogin::sameDatabase(const QString& a, const QString& b)
{
    const std::optional<ServerLogin> x = fromName(a);
    const std::optional<ServerLogin> y = fromName(b);
    return x && y && x->host.compare(y->host, Qt::CaseInsensitive) == 0 && x->port == y->port
        && x->database == y->database && x->user == y->user;
}

QString ServerLogin::problem(const QString& reason)
{
    const auto says = [&reason](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(), [&reason](const char* word) {
            return reason.contains(QString::fromUtf8(word), Qt::CaseInsensitive);
        });
    };
    QString what;
    if (says({ "password authentication failed", "パスワード認証に失敗" }))
        what = QStringLiteral("ユーザー名またはパスワードが違います。");
    else if (says({ "no password supplied", "password is required" }))
        what = QStringLiteral("パスワードが必要です。パスワードを入力してください。");
    else if (says({ "could not translate host name", "Name or service not known" }))
        what = QStringLiteral("サーバー名が見つかりません。サーバー名を確かめてください。");
    else if (says({ "Connection refused", "接続を拒否", "No such file or directory", "could not connect",
                    "timeout expired", "No route to host" }))
        what = QStringLiteral("サーバーに接続できません。サーバー名とポート番号、サーバーが動いていることを"
                              "確かめてください。");
    else if (says({ "database", "データベース" }) && says({ "does not exist", "存在しません" }))
        what = QStringLiteral("サーバーにそのデータベースがありません。データベース名を確かめてください。");
    else if (says({ "no pg_hba.conf entry" }))
        what = QStringLiteral("サーバーがこのコンピューターからの接続を許可していません（pg_hba.conf）。");
    QString text = QStringLiteral("サーバーのデータベースに接続できませんでした。");
    if (!what.isEmpty())
        text += QLatin1Char('\r') + what;
    if (!reason.trimmed().isEmpty())
        text += QStringLiteral("\r（") + reason.trimmed() + QStringLiteral("）");
    return text;
}

QString PasswordFile::path()
{
    const QString named = qEnvironmentVariable("PGPASSFILE");
    return named.isEmpty() ? QDir::home().filePath(QStringLiteral(".pgpass")) : named;
}

bool PasswordFile::store(const ServerLogin& login, QString* error)
{
    const QString file = path();
    const QStringList key = { login.host, QString::number(login.port), login.database, login.user };
    QStringList lines;
    QFile existing(file);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            if (error)
                *error = existing.errorString();
            return false;
        }
        const QString text = QString::fromUtf8(existing.readAll());
        existing.close();
        lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.constLast().isEmpty())
            lines.removeLast();
        // The line kept for this login before gives way to the new one.
        lines.removeIf([&key](const QString& line) { return leadingFields(line) == key; });
    }
    QStringList fields;
    for (const QString& field : key)
        fields << escaped(field);
    lines << fields.join(QLatin1Char(':')) + QLatin1Char(':') + escaped(login.password);

    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || out.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') < 0 || !out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}
