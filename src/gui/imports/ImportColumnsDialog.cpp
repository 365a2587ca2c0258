// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/imports/ImportColumnsDialog.h"

#include "core/app/AppState.h"
#include "core/app/Prompter.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/imports/TabFile.h"
#include "gui/imports/ImportForms.h"
#include "gui/shell/frmTipA.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/Named.h"

#include <QColor>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

ImportColumnsDialog::ImportColumnsDialog(AppState& state, ImportKind kind, const QString& file, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_form(importForm(kind))
    , m_mapping(kind)
{
    setObjectName(QString::fromLatin1(m_form.columnsName));
    setWindowTitle(m_form.columnsCaption);
    buildControls();
    Text2->setText(file);
    m_mapping.read(mappingPath(m_state.paths, kind));
    showMapping();
    Combo1->setEnabled(false);
    EnterAsTab::install(this);

    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, [this] {
        restoreArrowCursor();
        if (!Text2->text().isEmpty() && readHeadings())
            Combo1->setFocus();
    });
}

QString ImportColumnsDialog::fileName() const
{
    return Text2->text();
}

void ImportColumnsDialog::buildControls()
{
    Text2 = named(new QLineEdit(this), "Text2");
    Text2->setReadOnly(true);
    Text2->setMinimumWidth(360);
    Text2->setFocusPolicy(Qt::ClickFocus);
    Command1 = makeButton(this, "Command1", QStringLiteral("参照(&B)"));
    Label1 = namedLabel("Label1", QStringLiteral("インポートするファイルの選択(&S)"), Command1, this);

    Combo1 = named(new QComboBox(this), "Combo1");
    Combo1->setMinimumWidth(220);
    Label2 = namedLabel("Label2", QStringLiteral("項目(&F)"), Combo1, this);
    Command2 = makeButton(this, "Command2", QStringLiteral("項目の割り当て(M)"));
    Command5 = makeButton(this, "Command5", QStringLiteral("戻す(&U)"));

    MSFlexGrid1 = named(new QTableWidget(this), "MSFlexGrid1");
    MSFlexGrid1->setColumnCount(3);
    MSFlexGrid1->setHorizontalHeaderLabels(
        { m_form.gridHeading, QStringLiteral("インポートする項目"), QStringLiteral("見出しの違い") });
    MSFlexGrid1->setColumnHidden(2, true);
    const int width = twipsToPixels(4000, logicalDpiX());
    MSFlexGrid1->setColumnWidth(0, width);
    MSFlexGrid1->setColumnWidth(1, width);
    MSFlexGrid1->setColumnWidth(2, width * 3 / 2);
    MSFlexGrid1->setWordWrap(false); // a difference too long for its cell ends in "…"; its tool tip has it whole
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    // The grid only chooses a row: Tab goes on to OK instead of from cell to cell.
    MSFlexGrid1->setTabKeyNavigation(false);
    MSFlexGrid1->horizontalHeader()->setStretchLastSection(true);
    MSFlexGrid1->setMinimumWidth(2 * width + 40);

    Label4 = named(new QLabel(this), "Label4");
    Label4->setWordWrap(true);
    Label4->setStyleSheet(QStringLiteral("color: #b00000;"));
    Label4->setVisible(false);
    Label3 = named(new QLabel(QStringLiteral("＊印は必須項目です"), this), "Label3");
    Command3 = makeButton(this, "Command3", QStringLiteral("OK"));
    Command4 = makeButton(this, "Command4", QStringLiteral("ｷｬﾝｾﾙ"));
    Command6 = makeButton(this, "Command6", QStringLiteral("ﾍﾙﾌﾟ(&H)"));

    auto* top = new QGridLayout;
    top->addWidget(Label1, 0, 0, 1, 3);
    top->addWidget(Text2, 1, 0, 1, 2);
    top->addWidget(Command1, 1, 2);
    top->addWidget(Label2, 2, 0);
    top->addWidget(Combo1, 2, 1);
    auto* assign = new QHBoxLayout;
    assign->addWidget(Command2);
    assign->addWidget(Command5);
    assign->addStretch();
    top->addLayout(assign, 3, 1, 1, 2);
    top->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Label3);
    buttons->addStretch();
    buttons->addWidget(Command3);
    buttons->addWidget(Command4);
    buttons->addWidget(Command6);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(Label4);
    page->addWidget(MSFlexGrid1);
    page->addLayout(buttons);

    for (const auto& [from, to] : std::initializer_list<std::pair<QWidget*, QWidget*>> { { Command1, Combo1 },
                                                                                         { Combo1, Command2 },
                                                                                         { Command2, Command5 },
                                                                                         { Command5, MSFlexGrid1 },
                                                                                         { MSFlexGrid1, Command3 },
                                                                                         { Command3, Command4 },
                                                                                         { Command4, Command6 } })
        QWidget::setTabOrder(from, to);

    connect(Command1, &QPushButton::clicked, this, &ImportColumnsDialog::chooseFile);
    connect(Combo1, &QComboBox::activated, this, &ImportColumnsDialog::assignChosen);
    connect(Command2, &QPushButton::clicked, this, &ImportColumnsDialog::assignChosen);
    connect(Command5, &QPushButton::clicked, this, &ImportColumnsDialog::clearCurrent);
    connect(Command3, &QPushButton::clicked, this, &ImportColumnsDialog::save);
    connect(Command4, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command6, &QPushButton::clicked, this, [this] { frmTipA::showLines(this, m_form.columnsHelp); });
}

void ImportColumnsDialog::showMapping()
{
    const QStringList& labels = importFieldLabels(m_form.kind);
    MSFlexGrid1->setRowCount(int(labels.size()));
    for (int row = 0; row < labels.size(); ++row)
        showRow(row);
    if (MSFlexGrid1->currentRow() < 0)
        MSFlexGrid1->setCurrentCell(0, 0);
    // Every field in sight at once.
    MSFlexGrid1->setFixedHeight(MSFlexGrid1->horizontalHeader()->sizeHint().height()
                                + MSFlexGrid1->rowCount() * MSFlexGrid1->verticalHeader()->defaultSectionSize()
                                + 2 * MSFlexGrid1->frameWidth() + 2);
}

void ImportColumnsDialog::showRow(int row)
{
    const int field = row + 1;
    const auto difference = m_differences.constFind(field);
    const bool marked = difference != m_differences.constEnd();
    QString mark = field == nameField(m_form.kind) ? QStringLiteral("＊") : QString();
    if (marked)
        mark += QStringLiteral("！");
    MSFlexGrid1->setVerticalHeaderItem(row, new QTableWidgetItem(mark));
    const QStringList texts { importFieldLabels(m_form.kind).at(row), m_mapping.columnName(field),
                              marked ? difference->text() : QString() };
    for (int column = 0; column < texts.size(); ++column) {
        auto* item = new QTableWidgetItem(texts.at(column));
        if (marked) {
            item->setBackground(QColor(255, 226, 160));
            item->setToolTip(difference->text());
        }
        MSFlexGrid1->setItem(row, column, item);
    }

    // The column of the differences and the note above the grid while any row is marked.
    const bool anyMarked = !m_differences.isEmpty();
    MSFlexGrid1->setColumnHidden(2, !anyMarked);
    MSFlexGrid1->setMinimumWidth(2 * MSFlexGrid1->columnWidth(0) + (anyMarked ? MSFlexGrid1->columnWidth(2) : 0) + 40);
    QString note;
    if (anyMarked) {
        note = QStringLiteral("！印の項目は、保存した割り当ての見出しとこのファイルの見出しが違います。"
                              "割り当てを確かめて、よければ OK を押してください。");
        if (m_noHeadingLine)
            note += QLatin1Char('\n') + ImportMapping::headingLineHint();
    }
    Label4->setText(note);
    Label4->setVisible(anyMarked);
}

void ImportColumnsDialog::chooseFile()
{
    const std::optional<QString> chosen
        = openFileIn(importFolder(m_form.kind), m_state.settings, m_state.prompter, importFileRequest());
    if (!chosen || chosen->isEmpty())
        return;
    Text2->setText(*chosen);
    if (readHeadings())
        Combo1->setFocus();
}

bool ImportColumnsDialog::readHeadings()
{
    const QString file = Text2->text();
    if (file == m_headingsOf)
        return Combo1->isEnabled();
    QString error;
    const QStringList headings = readHeading(file, &error);
    if (!error.isEmpty()) {
        m_state.prompter.notice(error);
        return false;
    }
    m_headingsOf = file;
    Combo1->clear();
    Combo1->addItems(headings);
    Combo1->setEnabled(true);

    // A field keeps a column that is still there under its heading. One whose column is
    // headed otherwise now is marked and takes the column that carries its heading now, else
    // the one headed with its label, else keeps its place. A field without a column takes
    // the one headed with its label.
    const ImportMapping byLabel = ImportMapping::fromHeadings(m_form.kind, headings);
    m_differences.clear();
    m_noHeadingLine = m_mapping.noSavedHeadingIn(headings);
    for (const HeadingDifference& difference : m_mapping.differences(headings))
        m_differences.insert(difference.field, difference);
    for (int field = 1; field <= m_mapping.fieldCount(); ++field) {
        int column = m_mapping.columnNumber(field);
        if (const auto difference = m_differences.constFind(field); difference != m_differences.constEnd()) {
            if (difference->movedTo > 0)
                column = difference->movedTo;
            else if (!difference->saved.isEmpty() && byLabel.isAssigned(field))
                column = byLabel.columnNumber(field);
            else if (!difference->found)
                column = 0;
        } else if (!m_mapping.isAssigned(field)) {
            column = byLabel.columnNumber(field);
        }
        if (column > 0)
            m_mapping.assign(field, headings.at(column - 1), column);
        else
            m_mapping.clear(field);
    }
    showMapping();
    return true;
}

void ImportColumnsDialog::assignChosen()
{
    const int row = MSFlexGrid1->currentRow();
    const QString text = Combo1->currentText();
    if (!Combo1->isEnabled() || text.isEmpty() || row < 0)
        return;
    m_mapping.assign(row + 1, text, Combo1->currentIndex() + 1);
    m_differences.remove(row + 1);
    showRow(row);
}

void ImportColumnsDialog::clearCurrent()
{
    const int row = MSFlexGrid1->currentRow();
    if (row < 0)
        return;
    m_mapping.clear(row + 1);
    m_differences.remove(row + 1);
    showRow(row);
}

void ImportColumnsDialog::save()
{
    if (!m_mapping.isAssigned(nameField(m_form.kind))) {
        m_state.prompter.notice(QStringLiteral("品名の項目が設定されていません。"));
        return;
    }
    QString error;
    if (!m_state.paths.ensureDataDir() || !m_mapping.write(mappingPath(m_state.paths, m_form.kind), &error)) {
        m_state.prompter.notice(QStringLiteral("設定ファイルを保存できませんでした。") + error,
                                Prompter::Icon::Critical);
        return;
    }
    accept();
}
