// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The main window's finalising of a settlement date (棚卸表 → 棚卸の確定 and the entries beside
// it): finalising, undoing it with a reason, checking that nothing changed since, and saving
// the sheet that was filed; and the mark beside the date that says it is finalised.

#include "core/app/AppState.h"
#include "core/app/FileFolders.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/WaitCursor.h"
#include "core/history/Finalisation.h"
#include "gui/entry/frmTana.h"
#include "gui/printing/DialogKakutei.h"
#include "gui/printing/DialogKakuteiHozon.h"
#include "gui/printing/DialogKakuteiTorikeshi.h"
#include "gui/shell/frmAMain.h"
#include "gui/widgets/FinalisedMark.h"

#include <QDateEdit>
#include <QDir>

namespace {

const QString VerifyTitle = QStringLiteral("確定の確認");
// The changes after finalising listed in the message at most; the history screen has them all.
constexpr int ChangesListed = 20;

QString shownDate(QDate date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QString shownTime(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

} // namespace

void frmAMain::showFinalised()
{
    m_finalisedMark->showDate(m_state.DatabaseConnection, DTPicker1->date());
}

void frmAMain::finaliseDate()
{
    DialogKakutei dialog(m_state, DTPicker1->date(), this);
    dialog.exec();
    // The dialog may have moved lines to 未区分 before it finalised, or not finalised at all.
    showFinalised();
    if (m_tana)
        m_tana->reload();
}

void frmAMain::undoFinalisation()
{
    const Database& db = m_state.DatabaseConnection;
    const QDate date = DTPicker1->date();
    const std::optional<Finalisation::DateLock> lock = Finalisation::lockOf(db, date);
    if (!lock) {
        m_state.prompter.notice(QStringLiteral("決算日 %1 の棚卸は確定されていません。").arg(shownDate(date)));
        return;
    }
    const QString what = QStringLiteral("決算日 %1 の棚卸の確定（%2）").arg(shownDate(date), shownTime(lock->since));
    if (!m_state.prompter.ask(what
                              + QStringLiteral("を取り消しますか？\r取り消すと、この決算日の棚卸をまた変更できるように"
                                               "なります。確定した棚卸表のPDFは記録として残ります。")))
        return;
    DialogKakuteiTorikeshi reasonDialog(m_state,
                                        what + QStringLiteral("を取り消します。取消の理由を入力してください。"), this);
    if (reasonDialog.exec() != QDialog::Accepted)
        return;
    QString error;
    bool undone = false;
    {
        WaitCursor hourglass;
        undone = Finalisation::undo(db, date, reasonDialog.reason(), &error);
    }
    showFinalised();
    if (m_tana)
        m_tana->reload();
    if (!undone) {
        m_state.prompter.notice(error, Prompter::Icon::Critical);
        return;
    }
    m_state.prompter.notice(QStringLiteral("決算日 %1 の棚卸の確定を取り消しました。").arg(shownDate(date)));
}

void frmAMain::verifyFinalisation()
{
    const QDate date = DTPicker1->date();
    Finalisation::Verification verification;
    {
        WaitCursor hourglass;
        verification = Finalisation::verify(m_state.DatabaseConnection, date);
    }
    QStringList text = verification.findings;
    // The lines changed since, as the history has them: what changed, on which line, and when.
    const qsizetype changes = verification.changes.size();
    for (qsizetype i = 0; i < std::min<qsizetype>(changes, ChangesListed); ++i) {
        const ChangeHistory::Entry& entry = verification.changes[i];
        QString line = QStringLiteral("　%1　%2").arg(shownTime(entry.time), entry.kindName);
        if (entry.lineId != 0)
            line += QStringLiteral("　ID %1").arg(entry.lineId);
        if (!entry.name.isEmpty())
            line += QStringLiteral("　") + entry.name;
        text << line + QStringLiteral("　") + ChangeHistory::describe(entry);
    }
    if (changes > ChangesListed)
        text << QStringLiteral("　…ほかに %1 件の変更があります（変更履歴をご覧ください）。")
                    .arg(changes - ChangesListed);
    using Status = Finalisation::Verification::Status;
    m_state.prompter.notice(text.join(QLatin1Char('\r')),
                            verification.status == Status::Unchanged ? Prompter::Icon::Information
                                                                     : Prompter::Icon::Exclamation,
                            VerifyTitle);
}

void frmAMain::saveFiledSheet()
{
    const Database& db = m_state.DatabaseConnection;
    const QDate date = DTPicker1->date();
    const std::optional<QList<Finalisation::Record>> records = Finalisation::records(db, date);
    if (!records) {
        m_state.prompter.notice(QStringLiteral("データベースの接続に失敗しました。"), Prompter::Icon::Exclamation);
        return;
    }
    if (records->isEmpty()) {
        m_state.prompter.notice(QStringLiteral("決算日 %1 の確定した棚卸表はありません。").arg(shownDate(date)));
        return;
    }
    // The sheet of the only finalisation, or of the one chosen: each undoing keeps the sheet
    // that was filed before it.
    Finalisation::Record record = records->constLast();
    if (records->size() > 1) {
        DialogKakuteiHozon choice(*records, this);
        if (choice.exec() != QDialog::Accepted)
            return;
        record = choice.chosen();
    }
    FileDialogRequest request;
    request.title = QStringLiteral("確定した棚卸表の保存");
    request.fileName = QStringLiteral("棚卸表%1確定%2.pdf")
                           .arg(date.toString(QStringLiteral("yyyyMMdd")),
                                record.finalisedAt.toString(QStringLiteral("yyyyMMdd-HHmm")));
    request.filter = QStringLiteral("PDF ﾌｧｲﾙ (*.pdf)|*.pdf|");
    request.defaultSuffix = QStringLiteral("pdf");
    const std::optional<QString> chosen = saveFileIn(FileFolder::Pdf, m_state.settings, m_state.prompter, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = *chosen;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    if (!m_state.prompter.confirmOverwrite(path))
        return;
    QString error;
    bool written = false;
    {
        WaitCursor hourglass;
        written = Finalisation::writePdf(db, record.id, path, &error);
    }
    if (!written) {
        m_state.prompter.notice(error, Prompter::Icon::Exclamation);
        return;
    }
    m_state.prompter.notice(QStringLiteral("%1 に確定した棚卸表を保存しました。\r%2\rSHA-256：%3")
                                .arg(shownTime(record.finalisedAt), QDir::toNativeSeparators(path), record.pdfHash));
}
