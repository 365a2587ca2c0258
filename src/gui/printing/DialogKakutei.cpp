// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogKakutei.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/WaitCursor.h"
#include "core/history/Finalisation.h"
#include "core/lines/LineChecks.h"
#include "gui/printing/SheetCategoryCheck.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/FinalisedMark.h"
#include "gui/widgets/Named.h"
#include "gui/widgets/WorkProgress.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using StocktakingSheet::Layout;

DialogKakutei::DialogKakutei(AppState& state, QDate settlementDate, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("DialogKakutei"));
    setWindowTitle(QStringLiteral("棚卸の確定"));

    DTPicker1 = makeDatePicker(this);
    DTPicker1->setDate(settlementDate);
    m_mark = new FinalisedMark(this);

    // The layouts of the sheet's print dialog, starting on the one last printed.
    Combo1 = named(new QComboBox(this), "Combo1");
    for (Layout each : { Layout::Original, Layout::Simple, Layout::Hisago1151 })
        Combo1->addItem(StocktakingSheet::layoutName(each));
    const int stored = int(Combo1->findText(m_state.settings.value(Setting::DialogOutCombo1)));
    Combo1->setCurrentIndex(stored >= 0 ? stored : 0);

    auto* about = named(new QLabel(QStringLiteral("棚卸表をPDFに出力してデータベースに保存し、この決算日の棚卸を"
                                                  "変更できないようにします。\n確定した後の入力・訂正・インポート・"
                                                  "削除は、確定を取り消すまで受け付けません。"),
                                   this),
                        "Label3");
    about->setWordWrap(true);

    cmdKakutei = named(new QPushButton(QStringLiteral("確定(&K)"), this), "cmdKakutei");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    for (QPushButton* button : { cmdKakutei, cmdCancel })
        button->setAutoDefault(false);

    auto* rows = new QGridLayout;
    rows->addWidget(namedLabel("Label1", QStringLiteral("決算日(&D)"), DTPicker1, this), 0, 0);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(DTPicker1);
    dateRow->addWidget(m_mark);
    dateRow->addStretch();
    rows->addLayout(dateRow, 0, 1);
    rows->addWidget(namedLabel("Label2", QStringLiteral("用紙(&M)"), Combo1, this), 1, 0);
    rows->addWidget(Combo1, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdKakutei);
    buttons->addWidget(cmdCancel);
    auto* page = new QVBoxLayout(this);
    page->addLayout(rows);
    page->addWidget(about);
    page->addLayout(buttons);
    setMinimumWidth(460);

    const auto showMark = [this] { m_mark->showDate(m_state.DatabaseConnection, DTPicker1->date()); };
    showMark();
    connect(DTPicker1, &QDateEdit::dateChanged, this, showMark);
    connect(cmdKakutei, &QPushButton::clicked, this, &DialogKakutei::finalise);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    EnterAsTab::install(this);
}

QDate DialogKakutei::date() const
{
    return DTPicker1->date();
}

Layout DialogKakutei::layout() const
{
    return StocktakingSheet::layoutFromName(Combo1->currentText()).value_or(Layout::Original);
}

void DialogKakutei::finalise()
{
    const Database& db = m_state.DatabaseConnection;
    // Said before anything is asked or moved.
    if (const std::optional<Finalisation::DateLock> lock = Finalisation::lockOf(db, date())) {
        m_state.prompter.notice(Finalisation::refusal(*lock), Prompter::Icon::Exclamation);
        return;
    }
    if (!moveLinesWithoutCategoryAsked(m_state, date()))
        return;

    Finalisation::Options options;
    options.layout = layout();
    options.fontFamily
        = m_state.PrinterFont.isEmpty() ? m_state.settings.value(Setting::PrinterFont) : m_state.PrinterFont;
    if (options.layout == Layout::Hisago1151) {
        // The continuous form is shifted on the paper as the print dialog shifts it.
        options.offsetX = m_state.settings.value(Setting::stOffsetX).toInt();
        options.offsetY = m_state.settings.value(Setting::stOffsetY).toInt();
    }
    Finalisation::Outcome outcome;
    {
        WaitCursor hourglass;
        WorkProgress progress(this, windowTitle(), QStringLiteral("確定する棚卸表をPDFに出力しています…"));
        progress.setUnit(QStringLiteral("ページ"));
        outcome = Finalisation::finalise(db, date(), options,
                                         [&progress](qint64 done, qint64 total) { return progress.step(done, total); });
    }
    m_mark->showDate(db, date());
    using Status = Finalisation::Outcome::Status;
    switch (outcome.status) {
    case Status::Done: {
        // What was stored, and the short form of the PDF's hash an accountant can compare with
        // 確定の確認 or the saved copy later.
        m_state.prompter.notice(outcome.message + QStringLiteral("\r棚卸表PDF の SHA-256：")
                                + outcome.record->pdfHash.left(16) + QStringLiteral("…"));
        accept();
        return;
    }
    case Status::Cancelled:
        m_state.prompter.notice(outcome.message);
        return;
    case Status::Failed:
        m_state.prompter.notice(outcome.message, Prompter::Icon::Critical);
        return;
    default:
        m_state.prompter.notice(outcome.message, Prompter::Icon::Exclamation);
        return;
    }
}

void DialogKakutei::done(int result)
{
    m_state.settings.setValue(Setting::DialogOutCombo1, Combo1->currentText());
    QDialog::done(result);
}
