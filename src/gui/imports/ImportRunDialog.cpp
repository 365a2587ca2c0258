// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/imports/ImportRunDialog.h"

#include "core/app/AppState.h"
#include "core/app/BuiltinPicture.h"
#include "core/app/Clock.h"
#include "core/app/FileFolders.h"
#include "core/app/Prompter.h"
#include "core/app/WaitCursor.h"
#include "core/files/FailureCause.h"
#include "core/history/Finalisation.h"
#include "core/imports/Importer.h"
#include "core/imports/TabFile.h"
#include "gui/imports/ImportColumnsDialog.h"
#include "gui/imports/ImportForms.h"
#include "gui/shell/frmTipA.h"
#include "gui/widgets/ActivationWatcher.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/Named.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>
#include <optional>

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    button->setMinimumHeight(30);
    return button;
}

QLabel* makeResultLabel(QWidget* parent, const char* name)
{
    auto* label = named(new QLabel(parent), name);
    label->setMinimumWidth(320);
    return label;
}

// Keeps its place in the layout while hidden, so the dialog does not jump during a run.
void keepPlace(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
    widget->setVisible(false);
}

QString count(qint64 n)
{
    return QString::number(n) + QStringLiteral(" 件");
}

} // namespace

ImportRunDialog::ImportRunDialog(AppState& state, ImportKind kind, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_form(importForm(kind))
{
    setObjectName(QString::fromLatin1(m_form.runName));
    setWindowTitle(m_form.runCaption);
    buildControls();
    Command1->setEnabled(false);
    EnterAsTab::install(this);
    connect(new ActivationWatcher(this), &ActivationWatcher::activated, this, [] { restoreArrowCursor(); });
}

void ImportRunDialog::buildControls()
{
    Frame3 = named(new QGroupBox(this), "Frame3");
    Picture1 = named(new QLabel(this), "Picture1");
    Picture1->setPixmap(BuiltinPicture::tipIcon(QSize(48, 48)));
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    Picture2 = named(new QLabel(this), "Picture2");
    Picture2->setPixmap(BuiltinPicture::decoration(QSize(440, 6)));

    auto* form = new QGridLayout(Frame3);
    int row = 0;
    if (m_form.hasDate) {
        DTPicker1 = makeDatePicker(Frame3);
        DTPicker1->setDate(m_state.clock.today());
        Label6 = namedLabel("Label6", QStringLiteral("インポートする棚卸データの決算日(&D)"), DTPicker1, Frame3);
        form->addWidget(Label6, row++, 0, 1, 3);
        form->addWidget(DTPicker1, row++, 0);
    }
    txtFileName = named(new QLineEdit(Frame3), "txtFileName");
    txtFileName->setToolTip(QStringLiteral("参照（B)をクリックし該当する．DATファイルを選択してください。"));
    txtFileName->setReadOnly(true);
    txtFileName->setFocusPolicy(Qt::ClickFocus);
    txtFileName->setMinimumWidth(340);
    Command2 = makeButton(Frame3, "Command2", QStringLiteral("参照(&B)"));
    Label1 = namedLabel("Label1", QStringLiteral("ﾌｧｲﾙ名(&F)："), Command2, Frame3);
    form->addWidget(Label1, row++, 0, 1, 3);
    form->addWidget(txtFileName, row, 0, 1, 2);
    form->addWidget(Command2, row++, 2);
    if (m_form.hasUpdateChoice) {
        Check1 = named(new QCheckBox(QStringLiteral("既に登録されている品名情報の単価、数量単位を更新する。"), Frame3),
                       "Check1");
        Check1->setToolTip(QStringLiteral("既に登録されている品名には、ファイルのJANコードも追加します。"));
        form->addWidget(Check1, row++, 0, 1, 3);
    }
    form->setColumnStretch(1, 1);

    Command1 = makeButton(this, "Command1", QStringLiteral("ｲﾝﾎﾟｰﾄ開始(&I)"));
    Command3 = makeButton(this, "Command3", QStringLiteral("設定(&S)"));
    Command4 = makeButton(this, "Command4", QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    cmdStop = makeButton(this, "cmdStop", QStringLiteral("中止"));
    cmdStop->setEnabled(false);

    Label4 = named(new QLabel(QStringLiteral("インポート処理中"), this), "Label4");
    keepPlace(Label4);
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 0);
    ProgressBar1->setTextVisible(false);
    keepPlace(ProgressBar1);
    auto* results = new QVBoxLayout;
    if (m_form.hasDate) {
        Label2 = makeResultLabel(this, "Label2");
        Label3 = makeResultLabel(this, "Label3");
        results->addWidget(Label2);
        results->addWidget(Label3);
    }
    Label5 = makeResultLabel(this, "Label5");
    results->addWidget(Label5);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command4);
    buttons->addStretch();
    buttons->addWidget(cmdStop);

    auto* left = new QVBoxLayout;
    left->addWidget(Frame3);
    left->addWidget(Picture2);
    left->addWidget(Label4);
    left->addWidget(ProgressBar1);
    left->addLayout(results);
    left->addStretch();
    auto* page = new QHBoxLayout(this);
    page->addWidget(Picture1);
    page->addLayout(left, 1);
    page->addLayout(buttons);

    QList<QWidget*> order;
    if (DTPicker1)
        order << DTPicker1;
    order << Command2;
    if (Check1)
        order << Check1;
    order << Command1 << Command3 << Command4 << cmdStop;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    connect(Command2, &QPushButton::clicked, this, &ImportRunDialog::chooseFile);
    connect(Command3, &QPushButton::clicked, this, [this] { openColumns(QString()); });
    connect(Command1, &QPushButton::clicked, this, &ImportRunDialog::run);
    connect(Command4, &QPushButton::clicked, this, [this] { frmTipA::showLines(this, importRunHelp()); });
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_stopWanted = true; });
}

void ImportRunDialog::reject()
{
    // Closing during a run stops it first; the dialog stays until the database is as before.
    if (m_running) {
        m_stopWanted = true;
        return;
    }
    QDialog::reject();
}

void ImportRunDialog::chooseFile()
{
    const std::optional<QString> chosen
        = openFileIn(importFolder(m_form.kind), m_state.settings, m_state.prompter, importFileRequest());
    if (!chosen || chosen->isEmpty())
        return;
    txtFileName->setText(*chosen);
    Command1->setEnabled(true);
    Command1->setFocus();
}

void ImportRunDialog::openColumns(const QString& file)
{
    ImportColumnsDialog columns(m_state, m_form.kind, file, this);
    if (columns.exec() != QDialog::Accepted)
        return;
    // Without a file chosen there, the one chosen here stays.
    if (!columns.fileName().isEmpty())
        txtFileName->setText(columns.fileName());
    Command1->setEnabled(!txtFileName->text().isEmpty());
}

void ImportRunDialog::run()
{
    const QString file = txtFileName->text();
    // A finalised date takes no lines: said before anything is asked or read, and the file
    // stays chosen for another date.
    if (m_form.hasDate) {
        if (const auto lock = Finalisation::lockOf(m_state.DatabaseConnection, DTPicker1->date())) {
            m_state.prompter.notice(Finalisation::refusal(*lock), Prompter::Icon::Exclamation);
            return;
        }
    }
    if (m_form.hasDate
        && !m_state.prompter.ask(QStringLiteral("インポートする棚卸データの決算日は、")
                                 + DateText::toText(DTPicker1->date()) + QStringLiteral("です。よろしいですか。"))) {
        restoreArrowCursor();
        return;
    }
    // A run is never repeated on the same file by accident: the file must be chosen again.
    Command1->setEnabled(false);

    const QString mappingFile = mappingPath(m_state.paths, m_form.kind);
    if (!QFileInfo::exists(mappingFile)) {
        m_state.prompter.notice(QStringLiteral("設定ファイルが見つかりませんでした。インポートの設定を行います。"));
        txtFileName->clear();
        openColumns(file);
        return;
    }
    ImportMapping mapping(m_form.kind);
    if (!mapping.read(mappingFile)) {
        m_state.prompter.notice(m_form.failure + QLatin1Char('\n') + QStringLiteral("設定ファイルを読めません: ")
                                + QDir::toNativeSeparators(mappingFile));
        return;
    }
    // A file whose headings are no longer those the assignment was saved with goes through
    // the assignment dialog first, the differences marked; its OK goes on with the run.
    QString headingError;
    const QStringList headings = readHeading(file, &headingError);
    if (headingError.isEmpty())
        mapping.assignUnnamedFields(headings);
    QString chosen = file;
    if (headingError.isEmpty() && !mapping.differences(headings).isEmpty()) {
        ImportColumnsDialog columns(m_state, m_form.kind, file, this);
        if (columns.exec() != QDialog::Accepted)
            return;
        mapping = columns.mapping();
        if (!columns.fileName().isEmpty())
            chosen = columns.fileName();
        txtFileName->setText(chosen);
    }
    if (!confirm(chosen, mapping))
        return;
    showOutcome(runImport(chosen, mapping));
}

bool ImportRunDialog::confirm(const QString& file, const ImportMapping& mapping)
{
    ImportSurvey survey;
    {
        WaitCursor hourglass; // the whole file is read to count its records
        survey = surveyImportFile(file, mapping);
    }
    if (!survey.readable) {
        m_state.prompter.notice(m_form.failure + QLatin1Char('\n') + survey.error);
        return false;
    }
    if (!m_state.prompter.ask(QStringLiteral("データ件数は、") + QString::number(survey.records)
                              + QStringLiteral("件です。インポートを開始しますか。")))
        return false;
    ProgressBar1->setRange(0, int(qMin<qint64>(survey.records, INT_MAX)));
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(true);
    if (!survey.lastRecordHasName) {
        m_state.prompter.notice(
            QStringLiteral("インポートするデータに整合性がありません。ファイルを確認してください。"));
        return false;
    }
    if (m_form.hasDate) {
        const QDate date = DTPicker1->date();
        QString error;
        const std::optional<bool> exists = linesExistOn(m_state.DatabaseConnection, date, &error);
        if (!exists) {
            m_state.prompter.notice(FailureCause::withCause(QStringLiteral("データベースの接続に失敗しました。"),
                                                            FailureCause::inUse(error)));
            return false;
        }
        if (*exists
            && !m_state.prompter.ask(QStringLiteral("既に棚卸表に") + DateText::toText(date)
                                     + QStringLiteral("日付のデータがあります。インポートを続けますか？")))
            return false;
    }
    return true;
}

ImportOutcome ImportRunDialog::runImport(const QString& file, const ImportMapping& mapping)
{
    setRunning(true);
    std::optional<WaitCursor> hourglass(std::in_place);
    const ImportProgress progress = [this](qint64 done, qint64 total) {
        ProgressBar1->setRange(0, int(qMin<qint64>(total, INT_MAX)));
        ProgressBar1->setValue(int(qMin<qint64>(done, INT_MAX)));
        QCoreApplication::processEvents();
        return !m_stopWanted;
    };
    const ImportOutcome outcome = m_form.kind == ImportKind::Lines
        ? importLines(m_state.DatabaseConnection, file, DTPicker1->date(), mapping, progress)
        : importProducts(m_state.DatabaseConnection, file, mapping, Check1->isChecked(), progress);
    hourglass.reset();
    setRunning(false);
    return outcome;
}

void ImportRunDialog::setRunning(bool running)
{
    m_running = running;
    m_stopWanted = false;
    if (running) {
        // The counts of an earlier run do not stand beside this one's outcome.
        for (QLabel* result : { Label2, Label3, Label5 }) {
            if (result)
                result->clear();
        }
        Label4->setVisible(true);
        Label4->repaint();
    }
    cmdStop->setEnabled(running);
    for (QWidget* control : std::initializer_list<QWidget*> { Frame3, Command3, Command4 })
        control->setEnabled(!running);
    if (running)
        cmdStop->setFocus();
}

void ImportRunDialog::showOutcome(const ImportOutcome& outcome)
{
    switch (outcome.status) {
    case ImportOutcome::Status::Done:
        m_imported = true;
        if (m_form.hasDate) {
            Label2->setText(QStringLiteral("棚卸表　入力件数       ") + count(outcome.linesAdded));
            Label3->setText(QStringLiteral("項目/分類情報　新規登録件数　") + count(outcome.categoriesAdded));
        }
        Label5->setText(QStringLiteral("品名情報　新規登録件数　 　　") + count(outcome.productsAdded));
        m_state.prompter.notice(m_form.success);
        Label4->setVisible(false);
        return;
    case ImportOutcome::Status::Cancelled:
        Label4->setVisible(false);
        m_state.prompter.notice(QStringLiteral("インポートを中止しました。データは取り込まれていません。"));
        return;
    case ImportOutcome::Status::Refused:
    case ImportOutcome::Status::Failed:
        Label4->setVisible(false);
        m_state.prompter.notice(m_form.failure + QLatin1Char('\n') + outcome.details());
        return;
    }
}
