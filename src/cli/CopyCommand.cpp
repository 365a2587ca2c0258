// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/CopyCommand.h"

#include "core/store/DatabaseCopy.h"

#include <QTextStream>

CopyCommand::CopyCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("copy"),
              QStringLiteral("データベースを丸ごとコピーします（ファイルからサーバーへ、サーバーからファイルへ）。\n"
                             "棚卸、マスター、商品コード、変更履歴、確定した棚卸表を ID もそのままに写します。\n"
                             "コピー先は、まだないファイルか、データのない空のデータベースにしてください。\n"
                             "サーバーの空のデータベースには、先に表が作られます。"))
{
    positionalArguments = {
        { QStringLiteral("SOURCE"),
          QStringLiteral(
              "コピー元: Kotrina のデータベースファイル、または postgresql://ユーザー@ホスト/データベース") },
        { QStringLiteral("TARGET"), QStringLiteral("コピー先: 新しいファイルの名前、または空のデータベース") },
    };
}

int CopyCommand::run(const QCommandLineParser& parser)
{
    const QStringList names = parser.positionalArguments();
    const DatabaseCopy::Result result = DatabaseCopy::copy(names.at(0), names.at(1));
    if (!result.copied())
        return fail(result.message);
    qint64 rows = 0;
    for (const auto& [table, count] : result.tables) {
        m_out << table << '\t' << count << '\n';
        rows += count;
    }
    m_out << QStringLiteral("%1 行をコピーしました。\n").arg(rows);
    m_out.flush();
    return Success;
}
