// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/review/frmRirekiLine.h"

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/history/HistorySearch.h"
#include "gui/widgets/GridColumns.h"
#include "gui/widgets/Named.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column
{
    Time,
    Station,
    Kind,
    Field,
    Before,
    After,
    ColumnCount
};

QString valueText(const QString& column, const QVariant& value)
{
    if (column == u"日付" && !value.isNull())
        return DateText::toText(QDate::fromString(value.toString(), Qt::ISODate));
    return HistorySearch::valueText(value);
}

// One row per column the entry names: its value before and after. The ID names the line and is
// left out, as are the empty columns of a line added or deleted.
QList<QStringList> changesOf(const ChangeHistory::Entry& e)
{
    QList<QStringList> rows;
    for (const QString& column : ChangeHistory::columnOrder()) {
        if (column == u"ID" || (!e.oldValues.contains(column) && !e.newValues.contains(column)))
            continue;
        const QString before = valueText(column, e.oldValues.value(column));
        const QString after = valueText(column, e.newValues.value(column));
        // A line added or deleted is shown by the columns it held.
        if (e.kind != ChangeHistory::Kind::Changed && before.isEmpty() && after.isEmpty())
            continue;
        rows << QStringList { column, before, after };
    }
    return rows;
}

} // namespace

frmRirekiLine::frmRirekiLine(qint64 lineId, const QList<ChangeHistory::Entry>& entries, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRirekiLine"));
    setWindowTitle(QStringLiteral("変更履歴"));
    // The name as the latest entry tells it: a deleted line has no other.
    const QString name = entries.isEmpty() ? QString() : entries.constLast().name;
    auto* Label1 = named(new QLabel(QStringLiteral("ID %1　%2").arg(lineId).arg(name), this), "Label1");
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);

    dgdRireki = named(new QTableWidget(0, ColumnCount, this), "dgdRireki");
    dgdRireki->setHorizontalHeaderLabels({ QStringLiteral("日時"), QStringLiteral("端末"), QStringLiteral("種類"),
                                           QStringLiteral("項目"), QStringLiteral("変更前"),
                                           QStringLiteral("変更後") });
    setUpLineGrid(dgdRireki);
    dgdRireki->setWordWrap(false);
    dgdRireki->verticalHeader()->hide();
    dgdRireki->horizontalHeader()->setStretchLastSection(true);
    for (const ChangeHistory::Entry& e : entries) {
        const QList<QStringList> changes = changesOf(e);
        const int first = dgdRireki->rowCount();
        dgdRireki->setRowCount(first + int(std::max<qsizetype>(1, changes.size())));
        // When, where and what once per entry, the columns it changed under it.
        const QStringList head = { HistorySearch::timeText(e.time), e.station, e.kindName };
        for (int c = 0; c < head.size(); ++c)
            dgdRireki->setItem(first, c, new QTableWidgetItem(head[c]));
        for (int r = 0; r < changes.size(); ++r) {
            for (int c = 0; c < changes[r].size(); ++c) {
                auto* item = new QTableWidgetItem(changes[r][c]);
                item->setToolTip(changes[r][c]);
                dgdRireki->setItem(first + r, Field + c, item);
            }
        }
    }
    dgdRireki->resizeColumnsToContents();
    // Before and after side by side, as wide as each other.
    dgdRireki->setColumnWidth(Before, std::max(dgdRireki->columnWidth(Before), 200));

    auto* Label2 = named(new QLabel(this), "Label2");
    if (entries.isEmpty())
        Label2->setText(
            QStringLiteral("この棚卸には変更の記録がありません（変更履歴を記録する前に登録された棚卸です）。"));
    Label2->setVisible(entries.isEmpty());

    auto* cmdOK = named(new QPushButton(QStringLiteral("閉じる(&C)"), this), "cmdOK");
    cmdOK->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* page = new QVBoxLayout(this);
    page->addWidget(Label1);
    page->addWidget(dgdRireki, 1);
    page->addWidget(Label2);
    page->addLayout(buttons);
    resize(820, 380);
}

void frmRirekiLine::showFor(AppState& state, qint64 lineId, QWidget* parent)
{
    std::optional<QList<ChangeHistory::Entry>> entries;
    {
        WaitCursor hourglass;
        entries = ChangeHistory::ofLine(state.DatabaseConnection, lineId);
    }
    if (!entries) {
        state.prompter.notice(QStringLiteral("変更履歴を読み込めませんでした。"));
        return;
    }
    frmRirekiLine(lineId, *entries, parent).exec();
}
