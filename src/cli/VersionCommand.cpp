// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/VersionCommand.h"

#include "core/app/Paths.h"
#include "core/app/Version.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

VersionCommand::VersionCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("version"),
              QStringLiteral("バージョンと、初期設定用のファイル・マニュアルの場所を表示します。\n"
                             "どちらかが見つからないときの終了コードは 2 です。"))
{ }

int VersionCommand::run(const QCommandLineParser&)
{
    const Paths paths = Paths::fromEnvironment();
    const QList<std::pair<QString, QString>> files = {
        { QStringLiteral("初期設定用のファイル"), paths.templatePath() },
        { QStringLiteral("マニュアル"), paths.manualIndex() },
    };
    m_out << QStringLiteral("Kotrina " KOTRINA_VERSION_TEXT "\n");
    int status = Success;
    for (const auto& [what, path] : files) {
        const QString shown = QDir::toNativeSeparators(path);
        m_out << what << QStringLiteral(": ") << shown << '\n';
        if (!QFileInfo(path).isFile())
            status = fail(QStringLiteral("%1（%2）が見つかりません。").arg(what, shown));
    }
    m_out.flush();
    return status;
}
