// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/widgets/FontChoiceDialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Kana, kanji, half-width katakana and the digits of amounts, as the sheets print them.
QString sampleText()
{
    return QStringLiteral("棚卸表 ｶﾞﾑﾃｰﾌﾟ 髙﨑 1,234,567円");
}

} // namespace

FontChoiceDialog::FontChoiceDialog(const QStringList& families, const QString& current, int pointSize, QWidget* parent)
    : QDialog(parent)
    , m_families(new QListWidget(this))
    , m_sample(new QLabel(this))
    , m_pointSize(pointSize)
{
    setWindowTitle(QStringLiteral("フォントの選択"));
    m_families->setObjectName(QStringLiteral("lstFamilies"));
    m_families->addItems(families);
    m_sample->setObjectName(QStringLiteral("lblSample"));
    m_sample->setMinimumHeight(m_sample->fontMetrics().height() * 3);
    m_sample->setFrameShape(QFrame::StyledPanel);
    auto* caption = new QLabel(QStringLiteral("フォント(&F):"), this);
    caption->setBuddy(m_families);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_families, 1);
    layout->addWidget(new QLabel(QStringLiteral("見本:"), this));
    layout->addWidget(m_sample);
    layout->addWidget(buttons);

    // The current face selected; none when it is not offered (the list may still give the
    // first face the focus frame, which chooses nothing until the user picks it).
    const QList<QListWidgetItem*> found = m_families->findItems(current, Qt::MatchFixedString);
    if (!found.isEmpty()) {
        m_families->setCurrentItem(found.first());
    } else if (!current.isEmpty()) {
        auto* missing = new QLabel(QStringLiteral("現在のフォント「%1」は一覧にありません。").arg(current), this);
        missing->setObjectName(QStringLiteral("lblNotOffered"));
        layout->insertWidget(0, missing);
    }
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(!found.isEmpty());
    connect(m_families, &QListWidget::itemSelectionChanged, this, [this, ok] {
        ok->setEnabled(!chosenFamily().isEmpty());
        showSample();
    });
    connect(m_families, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        item->setSelected(true);
        accept();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!chosenFamily().isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // As wide as the sample at the sheets' size, which every offered face prints alike.
    QFont sampleFont(families.value(0));
    sampleFont.setPointSize(pointSize);
    m_sample->setMinimumWidth(QFontMetrics(sampleFont).horizontalAdvance(sampleText()) * 5 / 4);
    showSample();
}

QString FontChoiceDialog::chosenFamily() const
{
    const QList<QListWidgetItem*> selected = m_families->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void FontChoiceDialog::showSample()
{
    const QString family = chosenFamily();
    if (family.isEmpty()) {
        m_sample->clear();
        return;
    }
    QFont font(family);
    font.setPointSize(m_pointSize);
    m_sample->setFont(font);
    m_sample->setText(sampleText());
}
