// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/HelpPages.h"

#include "core/app/AppState.h"
#include "core/app/DesktopServices.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/Version.h"

#include <QDir>

namespace HelpPages {

namespace {

bool isSet(const AppState& state, Setting setting)
{
    return !state.settings.value(setting).trimmed().isEmpty();
}

// What both entries say when no page is set: how updates arrive, the version and where to
// find it, where the manual is.
QString whereThingsAre(const AppState& state)
{
    return QStringLiteral("・アップデートは、システムのパッケージマネージャーで行います。端末で\r"
                          "　　sudo apt update && sudo apt upgrade\r"
                          "を実行するか、デスクトップのソフトウェアの更新を使ってください。\r"
                          "・このプログラムのバージョンは " KOTRINA_VERSION_TEXT
                          " です（ﾍﾙﾌﾟ → ﾊﾞｰｼﾞｮﾝ情報、端末では kotrina --version）。\r"
                          "・マニュアルは ﾍﾙﾌﾟ → 目次と検索 で開きます。\r　　")
        + QDir::toNativeSeparators(state.paths.manualIndex());
}

} // namespace

bool hasSupportPage(const AppState& state)
{
    return isSet(state, Setting::SupportURL);
}

bool hasUpdatePage(const AppState& state)
{
    return isSet(state, Setting::UpdateURL);
}

void showSupport(AppState& state)
{
    if (hasSupportPage(state)) {
        openWebPage(*state.desktop, state.prompter, state.settings.value(Setting::SupportURL).trimmed());
        return;
    }
    state.prompter.notice(
        QStringLiteral("オンラインサポートのページは設定されていません。\r"
                       "ご質問は、このプログラムを導入した販売店または管理者にお問い合わせください。\r\r")
            + whereThingsAre(state),
        Prompter::Icon::Information, QStringLiteral("オンラインサポート"));
}

void tellHowUpdatesArrive(AppState& state)
{
    state.prompter.notice(QStringLiteral("アップデートのページは設定されていません。"
                                         "このプログラムの新しい版は、パッケージとして届きます。\r\r")
                              + whereThingsAre(state),
                          Prompter::Icon::Information, QStringLiteral("アップデート"));
}

} // namespace HelpPages
