// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/printing/CategoryChoice.h"

#include "gui/widgets/LookupCombo.h"
#include "gui/widgets/Named.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

CategoryChoice::CategoryChoice(AppState& state, const QString& lookupCaption, QWidget* parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("Frame1"));
    Option2 = named(new QRadioButton(QStringLiteral("すべての項目/分類を出力(&I)"), this), "Option2");
    Option1 = named(new QRadioButton(QStringLiteral("項目/分類別に出力(&O)"), this), "Option1");
    Option2->setChecked(true);
    dbcNouhin = named(new LookupCombo(LookupModel::Kind::Category, state, this), "dbcNouhin");
    dbcNouhin->setToolTip(QStringLiteral("検索する仕入先名の文字列を入力してください。"));
    dbcNouhin->setMinimumWidth(220);
    Text3 = named(new QLineEdit(this), "Text3");
    Text3->setReadOnly(true);
    Text3->setFocusPolicy(Qt::NoFocus);
    Text3->setMaximumWidth(60);
    dbcNouhin->setIdBox(Text3);
    Label10 = namedLabel("Label10", lookupCaption, dbcNouhin, this);
    auto* choice = new QGridLayout(this);
    choice->addWidget(Option2, 0, 0, 1, 3);
    choice->addWidget(Option1, 1, 0, 1, 3);
    choice->addWidget(Label10, 2, 0);
    choice->addWidget(dbcNouhin, 2, 1);
    choice->addWidget(Text3, 2, 2);

    connect(Option1, &QRadioButton::clicked, this, [this] {
        enableLookup();
        emit oneChosen();
    });
    connect(Option2, &QRadioButton::clicked, this, &CategoryChoice::enableLookup);
    enableLookup();
}

bool CategoryChoice::all() const
{
    return Option2->isChecked();
}

void CategoryChoice::chooseAll()
{
    Option2->setChecked(true);
    enableLookup();
}

std::optional<int> CategoryChoice::chosenCategory() const
{
    bool ok = false;
    const int id = Text3->text().trimmed().toInt(&ok);
    if (!ok || dbcNouhin->text().isEmpty())
        return std::nullopt;
    return id;
}

void CategoryChoice::enableLookup()
{
    dbcNouhin->setEnabled(Option1->isChecked());
    Label10->setEnabled(Option1->isChecked());
}
