// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/ServerInitCommand.h"

#include "core/store/Database.h"
#include "core/store/DatabaseName.h"

#include <QTextStream>

ServerInitCommand::ServerInitCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("server init"),
              QStringLiteral("PostgreSQL サーバーの空のデータベースに、棚卸のデータベースを作成します。\n"
                             "URI の例: postgresql://ユーザー@ホスト/データベース名\n"
                             "パスワードは URI に書かなくても、~/.pgpass や PGPASSWORD から読みます。\n"
                             "データベースが空でないとき、サーバーに接続できないときの終了コードは 2 です。"))
{
    positionalArguments = { { QStringLiteral("URI"), QStringLiteral("PostgreSQL のデータベースの接続URI") } };
}

int ServerInitCommand::run(const QCommandLineParser& parser)
{
    const QString uri = parser.positionalArguments().constFirst();
    if (!DatabaseName::isServer(uri))
        return fail(QStringLiteral("postgresql:// で始まる URI を指定してください: %1").arg(uri));
    QString error;
    if (!Database::initServer(uri, &error))
        return fail(error);
    m_out << QStringLiteral("棚卸のデータベースを作成しました: %1\n").arg(DatabaseName::display(uri));
    m_out.flush();
    return Success;
}
