// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/SheetCategoryCheck.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/lines/LineChecks.h"

bool moveLinesWithoutCategoryAsked(AppState& state, QDate date)
{
    const Database& db = state.DatabaseConnection;
    const std::optional<int> unmatched = markLinesWithoutCategory(db, date);
    if (!unmatched || *unmatched == 0)
        return true;
    if (!state.prompter.ask(QStringLiteral("項目/分類が登録された項目に属さない棚卸かあります。"
                                           "項目/分類を「未区分」に変更しますか？"))) {
        state.prompter.notice(QStringLiteral("棚卸表作成を中止し棚卸表訂正を行ってください。"));
        return false;
    }
    QString error;
    if (!moveMarkedLinesToNoCategory(db, date, &error)) {
        // A finalised date keeps the lines it was filed with: the move is refused, and a sheet
        // without those lines is not made.
        state.prompter.notice(error.isEmpty() ? QStringLiteral("データベースの接続に失敗しました。") : error,
                              Prompter::Icon::Exclamation);
        return false;
    }
    return true;
}
