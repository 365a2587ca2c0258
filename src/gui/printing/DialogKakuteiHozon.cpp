// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/DialogKakuteiHozon.h"

#include "gui/widgets/Named.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString shownTime(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd HH:mm"));
}

} // namespace

DialogKakuteiHozon::DialogKakuteiHozon(const QList<Finalisation::Record>& records, QWidget* parent)
    : QDialog(parent)
    , m_records(records)
{
    setObjectName(QStringLiteral("DialogKakuteiHozon"));
    setWindowTitle(QStringLiteral("確定した棚卸表の保存"));
    std::reverse(m_records.begin(), m_records.end());

    Combo1 = named(new QComboBox(this), "Combo1");
    for (const Finalisation::Record& record : std::as_const(m_records))
        Combo1->addItem(describe(record));
    cmdHozon = named(new QPushButton(QStringLiteral("保存(&S)"), this), "cmdHozon");
    cmdCancel = named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");
    cmdHozon->setDefault(true);
    cmdCancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdHozon);
    buttons->addWidget(cmdCancel);
    auto* page = new QVBoxLayout(this);
    page->addWidget(namedLabel("Label1", QStringLiteral("保存する棚卸表(&K)"), Combo1, this));
    page->addWidget(Combo1);
    page->addLayout(buttons);
    setMinimumWidth(560);

    connect(cmdHozon, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

const Finalisation::Record& DialogKakuteiHozon::chosen() const
{
    return m_records.at(std::max(0, Combo1->currentIndex()));
}

QString DialogKakuteiHozon::describe(const Finalisation::Record& record)
{
    const QLocale numbers(QLocale::English); // 12,420 as the sheets print amounts
    QString text = QStringLiteral("%1 確定　%2 行　合計 %3 円　%4")
                       .arg(shownTime(record.finalisedAt), numbers.toString(record.lineCount),
                            numbers.toString(record.total, 'f', 0), record.layoutName);
    if (record.undoneAt)
        text += QStringLiteral("（%1 取消：%2）").arg(shownTime(*record.undoneAt), record.undoReason);
    return text;
}
