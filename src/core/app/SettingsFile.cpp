// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/SettingsFile.h"

#include <QDir>
#include <QSettings>

namespace SettingsFile {

QString readProblem(const QString& fileName)
{
    // The store reads its file when it is made; one that is there but cannot be read leaves
    // every value at its default.
    const QSettings store(fileName, QSettings::IniFormat);
    const QString name = QDir::toNativeSeparators(fileName);
    switch (store.status()) {
    case QSettings::AccessError:
        return QStringLiteral("設定ファイル（%1）を読み込めませんでした。前回の設定を使わずに起動します。").arg(name);
    case QSettings::FormatError:
        return QStringLiteral("設定ファイル（%1）に読み取れない部分がありました。読み取れなかった設定は初期値で"
                              "起動します。")
            .arg(name);
    case QSettings::NoError:
        break;
    }
    return {};
}

QString writeProblem(const QString& fileName)
{
    return QStringLiteral("設定の保存に失敗しました。\r設定ファイル（%1）に書き込めません。")
        .arg(QDir::toNativeSeparators(fileName));
}

} // namespace SettingsFile
