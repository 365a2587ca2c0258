// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/files/CopyCommands.h"

#include "core/app/AppState.h"
#include "core/app/WaitCursor.h"
#include "core/files/DatabaseFiles.h"
#include "core/store/DatabaseCopy.h"
#include "core/store/DatabaseName.h"
#include "core/store/FileOps.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

const QString Caption = QStringLiteral("データベースのコピー");

bool isServerName(const QString& name)
{
    return DatabaseName::isServer(name);
}

} // namespace

CopyCommands::CopyCommands(AppState& state, FileCommandsView& view)
    : m_state(state)
    , m_view(view)
{ }

bool CopyCommands::sourceReady()
{
    if (m_state.ConnectionOpen && !m_state.DatabaseFileName.isEmpty()
        && !FileOps::samePathIgnoringCase(m_state.DatabaseFileName, m_state.paths.templatePath()))
        return true;
    m_state.prompter.notice(QStringLiteral("コピーするデータベースを先に開いてください。"), Prompter::Icon::Exclamation,
                            Caption);
    return false;
}

void CopyCommands::copyToFile()
{
    if (!sourceReady())
        return;
    const QString open = m_state.DatabaseFileName;
    FileDialogRequest request;
    request.title = QStringLiteral("コピー先のファイル名");
    request.filter = QStringLiteral("すべてのファイル (*.*)|*.*|cdb ﾌｧｲﾙ (*.idb)|*.idb");
    request.filterIndex = 2;
    request.defaultSuffix = QStringLiteral("idb");
    request.mustExist = false;
    request.directory = isServerName(open) ? QDir::homePath() : QFileInfo(open).absolutePath();
    const std::optional<QString> chosen = m_state.prompter.saveFile(request);
    if (!chosen || chosen->isEmpty())
        return;
    copyTo(*chosen, QDir::toNativeSeparators(*chosen));
}

bool CopyCommands::copyTo(const QString& target, const QString& shownTarget)
{
    if (!sourceReady())
        return false;
    // Refused before anything is read: the user learns at once that the target holds data.
    {
        WaitCursor hourglass;
        const QString refusal = DatabaseCopy::refusalOf(target);
        if (!refusal.isEmpty()) {
            m_state.prompter.notice(refusal, Prompter::Icon::Exclamation, Caption);
            return false;
        }
    }
    DatabaseCopy::Result result;
    {
        WaitCursor hourglass;
        const std::unique_ptr<LongWork> work
            = m_view.startWork(Caption, QStringLiteral("データベースを %1 にコピーしています…").arg(shownTarget));
        ProgressStep step;
        if (work)
            step = [&work](qint64 done, qint64 total) { return work->step(done, total); };
        result = DatabaseCopy::copy(m_state.DatabaseFileName, target, step);
    }
    if (!result.copied()) {
        m_state.prompter.notice(result.message,
                                result.status == DatabaseCopy::Result::Status::Cancelled ? Prompter::Icon::Information
                                                                                         : Prompter::Icon::Exclamation,
                                Caption);
        return false;
    }
    qint64 lines = 0;
    qint64 rows = 0;
    for (const auto& [table, count] : result.tables) {
        rows += count;
        if (table == QStringLiteral("棚卸マスター"))
            lines = count;
    }
    m_state.prompter.notice(
        QStringLiteral("データベースをコピーしました。\r%1\r棚卸 %2 行（全部で %3 行）")
            .arg(shownTarget, QLocale(QLocale::Japanese).toString(lines), QLocale(QLocale::Japanese).toString(rows)),
        Prompter::Icon::Information, Caption);
    return true;
}
