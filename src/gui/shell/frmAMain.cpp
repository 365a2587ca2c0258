// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/frmAMain.h"

#include "core/app/AppState.h"
#include "core/app/BuiltinPicture.h"
#include "core/app/Clock.h"
#include "core/app/Prompter.h"
#include "core/app/Settings.h"
#include "core/app/SettingsFile.h"
#include "core/app/Twips.h"
#include "core/app/WaitCursor.h"
#include "core/files/BackupKeeper.h"
#include "core/files/FailureCause.h"
#include "core/printing/SummarySheet.h"
#include "core/store/BackgroundCheck.h"
#include "core/store/FileOps.h"
#include "gui/entry/frmTana.h"
#include "gui/imports/ImportRunDialog.h"
#include "gui/masters/frmInShohin.h"
#include "gui/masters/frmKoumoku.h"
#include "gui/masters/frmTani.h"
#include "gui/printing/DialogTanaMoto1.h"
#include "gui/printing/DialogTanaMoto2.h"
#include "gui/printing/DialogTanaMoto3.h"
#include "gui/printing/frmPrinterP.h"
#include "gui/review/frmInAmd2.h"
#include "gui/review/frmList.h"
#include "gui/shell/DialogUpdate.h"
#include "gui/shell/HelpPages.h"
#include "gui/shell/frmAbout.h"
#include "gui/shell/frmTipA.h"
#include "gui/widgets/DatePicker.h"
#include "gui/widgets/EnterAsTab.h"
#include "gui/widgets/FinalisedMark.h"
#include "gui/widgets/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString LoadFailed = QStringLiteral("データベースの接続に失敗しました。ファイル名を変更してください。");
const QString GuidanceStopped
    = QStringLiteral("現在、初期設定用のファイルが選択されていますので、一旦処理を中止します。");
const QString NoStocktaking = QStringLiteral("現在、該当する棚卸はありません。");
const QString NoStocktakingSheet = QStringLiteral("現在、該当する棚卸表はありません。");
const QString InputCheckTitle = QStringLiteral("入力事項の確認");
const QString Title = QStringLiteral("Kotrina Sheet Version 1.0");

constexpr QSize PictureSize(300, 225);

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& toolTip = {})
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    button->setMinimumHeight(34);
    return button;
}

QStringList guidanceLines()
{
    return {
        QString(),
        QStringLiteral("コトリナをご利用いただきありがとうございます。"),
        QString(),
        QString(),
        QStringLiteral(
            "■新規にデータベースを作成します。「ファイルを開く」のダイアログが表示されたら、「ファイル名（N）」を入"
            "力し、「開く（O）」を実行します。この作業で新しいデータベースが作成されます。"),
        QString(),
        QStringLiteral(
            "注）ファイル名は、今後使用するデータベース名になります。ホームフォルダの「ドキュメント」などに新規に作業"
            "フォルダを作成し 、このフォルダに新規データベースを保存します。"),
        QString(),
        QString(),
        QStringLiteral("■棚卸表データベースの作成が完了後、決算日を入力してください。"),
        QString(),
        QStringLiteral("注）日付の設定"),
        // The program shows and prints every date in its own ten-character form, whatever the
        // system's settings, so there is nothing for the user to set.
        QStringLiteral("日付は、パソコンの設定にかかわらず、常に１０桁（2003/01/01）で表示・印刷されます。日付の設定を"
                       "変更する必要はありません。"),
    };
}

} // namespace

frmAMain::frmAMain(AppState& state, QString commandLineFile, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_files(state, *this)
    , m_commandLineFile(std::move(commandLineFile))
    , m_check(new BackgroundCheck(this))
{
    setObjectName(QStringLiteral("frmAMain"));
    setWindowTitle(Title);
    buildControls();
    buildMenus();
    setTabOrder();
    showAccess();
    EnterAsTab::install(this);
}

frmAMain::~frmAMain() = default;

void frmAMain::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    setCentralWidget(central);

    Picture2 = new QLabel(central);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setFixedSize(PictureSize);
    Picture2->setFrameShape(QFrame::StyledPanel);
    Picture2->setAlignment(Qt::AlignCenter);
    Picture2->setPixmap(BuiltinPicture::mainPicture(PictureSize));

    Label1 = new QLabel(QStringLiteral("決算日(&Y)"), central);
    Label1->setObjectName(QStringLiteral("Label1"));
    DTPicker1 = makeDatePicker(central);
    DTPicker1->setDate(m_state.clock.today());
    DTPicker1->setMinimumWidth(140);
    Label1->setBuddy(DTPicker1);
    m_finalisedMark = new FinalisedMark(central);

    txtFileName = new QLineEdit(central);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    txtFileName->setReadOnly(true);
    txtFileName->setFocusPolicy(Qt::ClickFocus);

    Label9 = new QLabel(QStringLiteral("Data Provider ") + Database::engineName(), central);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label13 = new QLabel(central);
    Label13->setObjectName(QStringLiteral("Label13"));

    Picture3 = new QLabel(central);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setPixmap(BuiltinPicture::decoration(QSize(PictureSize.width(), 6)));

    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(Label1);
    dateRow->addWidget(DTPicker1);
    dateRow->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(Picture2);
    left->addWidget(Picture3);
    left->addLayout(dateRow);
    // Under the date, where its width leaves the picture's column as it is.
    left->addWidget(m_finalisedMark);
    left->addWidget(txtFileName);
    left->addWidget(Label9);
    left->addWidget(Label13);
    left->addStretch();

    Frame1 = new QGroupBox(central);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Command17 = makeButton(Frame1, "Command17", QStringLiteral("棚 卸 入 力 (&E)　　"));
    Command19 = makeButton(Frame1, "Command19", QStringLiteral("棚 卸 表 訂 正 (&C)　　"));
    Command21 = makeButton(Frame1, "Command21", QStringLiteral("棚 卸 表 (&P)"));
    Command3 = makeButton(Frame1, "Command3", QStringLiteral("棚卸集計表(&L)"),
                          QStringLiteral("項目/分類別集計表、品名別集計表が作成できます。"));
    Command4 = makeButton(
        Frame1, "Command4", QStringLiteral("棚卸記入帳(&D)"),
        QStringLiteral("前期の棚卸表から「棚卸記入帳」が作成できますので、棚卸し実地の記録に活用できます。"));
    Command5 = makeButton(Frame1, "Command5", QStringLiteral("棚卸のｲﾝﾎﾟｰﾄ(&T)"),
                          QStringLiteral("エクセルファイルからインポートすることができます。"));
    Command28 = makeButton(Frame1, "Command28", QStringLiteral("項目/分類情報(&B)"));
    Command33 = makeButton(Frame1, "Command33", QStringLiteral("品 名 情 報 (&I)"),
                           QStringLiteral("エクセルファイルからインポートすることができます。"));
    Command24 = makeButton(Frame1, "Command24", QStringLiteral("数量単位情報(&Q)"));
    Command1 = makeButton(Frame1, "Command1", QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽの修復(&R)"));
    Command2 = makeButton(Frame1, "Command2", QStringLiteral("閉じる(&X)"));

    auto* grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    const QList<QPushButton*> stocktaking = { Command17, Command19, Command21, Command3, Command4, Command5 };
    const QList<QPushButton*> masters = { Command28, Command33, Command24, Command1 };
    for (int i = 0; i < stocktaking.size(); ++i)
        grid->addWidget(stocktaking[i], i, 0);
    for (int i = 0; i < masters.size(); ++i)
        grid->addWidget(masters[i], i, 1);
    grid->addWidget(Command2, stocktaking.size() - 1, 1);
    grid->setColumnMinimumWidth(0, 190);
    grid->setColumnMinimumWidth(1, 190);

    Frame8 = new QFrame(central);
    Frame8->setObjectName(QStringLiteral("Frame8"));
    Frame8->setFrameShape(QFrame::StyledPanel);
    Command22 = makeButton(Frame8, "Command22", QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽの修復/最適化((&Z)"));
    Label5 = new QLabel(Frame8);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label7 = new QLabel(Frame8);
    Label7->setObjectName(QStringLiteral("Label7"));
    Frame4 = new QGroupBox(QStringLiteral("データ削除(&K)"), Frame8);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Combo3 = new QComboBox(Frame4);
    Combo3->setObjectName(QStringLiteral("Combo3"));
    Command58 = makeButton(Frame4, "Command58", QStringLiteral("削除"));
    auto* deletion = new QHBoxLayout(Frame4);
    deletion->addWidget(Combo3, 1);
    deletion->addWidget(Command58);
    cmdSalvage = makeButton(Frame8, "cmdSalvage", QStringLiteral("データの救出(&G)"),
                            QStringLiteral("破損したデータベースから読み取れるデータを新しいファイルに救出します。"));
    auto* sizes = new QVBoxLayout;
    sizes->addWidget(Command22);
    sizes->addWidget(Label5);
    sizes->addWidget(Label7);
    sizes->addWidget(cmdSalvage);
    auto* repair = new QHBoxLayout(Frame8);
    repair->addLayout(sizes, 1);
    repair->addWidget(Frame4, 1);
    Frame8->setVisible(false);

    auto* top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(Frame1, 1);
    auto* page = new QVBoxLayout(central);
    page->addLayout(top);
    page->addWidget(Frame8);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_panel1 = new QLabel(StatusBar1);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    // A long path must neither widen the window nor hide the bar's passing messages: the
    // panel gives up its room while one shows, and comes back after it.
    m_panel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar1->addWidget(m_panel1, 1);
    connect(txtFileName, &QLineEdit::textChanged, m_panel1, &QLabel::setText);

    connect(Command17, &QPushButton::clicked, this, &frmAMain::confirmDateAndOpenEntry);
    connect(Command19, &QPushButton::clicked, this, [this] { checkAndOpen(NoStocktaking, Screen::InAmd2); });
    connect(Command21, &QPushButton::clicked, this, [this] { checkAndOpen(NoStocktaking, Screen::TanaMoto1); });
    connect(Command3, &QPushButton::clicked, this, [this] { checkAndOpen(NoStocktaking, Screen::List); });
    connect(Command4, &QPushButton::clicked, this, [this] { checkAndOpen(NoStocktaking, Screen::TanaMoto2); });
    connect(Command5, &QPushButton::clicked, this, [this] { openScreen(Screen::ExcelA); });
    connect(Command28, &QPushButton::clicked, this, [this] { openScreen(Screen::Koumoku); });
    connect(Command33, &QPushButton::clicked, this, [this] { openScreen(Screen::InShohin); });
    connect(Command24, &QPushButton::clicked, this, [this] { openScreen(Screen::Tani); });
    connect(Command1, &QPushButton::clicked, this, &frmAMain::toggleRepairFrame);
    connect(Command22, &QPushButton::clicked, this, [this] { fileCommand([this] { m_files.repairAndCompact(); }); });
    connect(cmdSalvage, &QPushButton::clicked, this, [this] { fileCommand([this] { m_files.salvage(); }); });
    connect(Command58, &QPushButton::clicked, this,
            [this] { fileCommand([this] { m_files.deleteData(Combo3->currentText()); }); });
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(DTPicker1, &QDateEdit::dateChanged, this, &frmAMain::showFinalised);
}

void frmAMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto addMenu = [&](const char* name, const QString& title) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    auto addEntry = [this](QMenu* menu, const char* name, const QString& text, auto&& slot, bool enabled = true) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        action->setProperty("available", enabled);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu* file = addMenu("mnuFile", QStringLiteral("ﾌｧｲﾙ(&F)"));
    addEntry(file, "mnuNew", QStringLiteral("新規作成(&N)"),
             [this] { fileCommand([this] { m_files.newDatabase(); }); });
    file->addSeparator();
    addEntry(file, "mnuOpen", QStringLiteral("開く(&O)"), [this] { openDatabase(); });
    addEntry(file, "mnuSave", QStringLiteral("名前を付けて保存(&S)"),
             [this] { fileCommand([this] { m_files.saveAs(); }); });
    file->addSeparator();
    addEntry(
        file, "munPrinter", QStringLiteral("ﾌﾟﾘﾝﾀの設定(&U)"), [this] { openScreen(Screen::PrinterP); },
        screenAvailable(Screen::PrinterP));
    file->addSeparator();
    addEntry(file, "mnuBackupOpen", QStringLiteral("バックアップファイルを開く(&B)"),
             [this] { fileCommand([this] { m_files.openBackup(); }); });
    addEntry(file, "mnuDenQuit", QStringLiteral("終了(&X)"), [this] { close(); });

    QMenu* view = addMenu("mnuView", QStringLiteral("表示(&V)"));
    addEntry(view, "mnuPicLoad", QStringLiteral("画像の差替え(&P)"), [this] { replacePicture(); });
    addEntry(view, "mnuPSave", QStringLiteral("画像を元に戻す(&U)"), [this] { resetPicture(); });
    view->addSeparator();
    addEntry(view, "mnuDatabaseRep", QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽの修復(&R)"), [this] { toggleRepairFrame(); });

    QMenu* sheet = addMenu("mnuTana", QStringLiteral("棚卸表(&S)"));
    addEntry(
        sheet, "mnuPreTana", QStringLiteral("棚卸入力(&E)"), [this] { openScreen(Screen::Tana); },
        screenAvailable(Screen::Tana));
    addEntry(sheet, "mnuTanaAmd", QStringLiteral("棚卸表訂正(&R)"),
             [this] { checkAndOpen(NoStocktakingSheet, Screen::InAmd2, true); });
    sheet->addSeparator();
    addEntry(sheet, "mnuList", QStringLiteral("棚卸集計表(&D)"),
             [this] { checkAndOpen(NoStocktakingSheet, Screen::List); });
    addEntry(sheet, "mnuList2", QStringLiteral("棚卸記入帳(&L)"),
             [this] { checkAndOpen(NoStocktakingSheet, Screen::TanaMoto2); });
    addEntry(sheet, "mnuCodeList", QStringLiteral("商品コード一覧表(&C)"), [this] { openCodeList(); });
    addEntry(sheet, "mnuPhones", QStringLiteral("スマートフォンで入力(&M)"), [this] { openPhones(); });
    sheet->addSeparator();
    addEntry(sheet, "mnuTanaMoto", QStringLiteral("棚卸表(&P)"),
             [this] { checkAndOpen(NoStocktakingSheet, Screen::TanaMoto1); });
    sheet->addSeparator();
    addEntry(sheet, "mnuRireki", QStringLiteral("変更履歴(&H)"), [this] { openHistory(); });
    addEntry(sheet, "mnuKakutei", QStringLiteral("棚卸の確定(&K)"), [this] {
        if (checkLines(NoStocktakingSheet))
            finaliseDate();
    });
    addEntry(sheet, "mnuKakuteiTorikeshi", QStringLiteral("確定の取消(&U)"), [this] { undoFinalisation(); });
    addEntry(sheet, "mnuKakuteiKakunin", QStringLiteral("確定の確認(&V)"), [this] { verifyFinalisation(); });
    addEntry(sheet, "mnuKakuteiHozon", QStringLiteral("確定した棚卸表の保存(&F)"), [this] { saveFiledSheet(); });

    QMenu* setup = addMenu("mnuSetup", QStringLiteral("初期設定(&A)"));
    addEntry(
        setup, "mnuPreSiire", QStringLiteral("項目/分類情報(&B)"), [this] { openScreen(Screen::Koumoku); },
        screenAvailable(Screen::Koumoku));
    setup->addSeparator();
    addEntry(
        setup, "mnuPreShohin", QStringLiteral("品名情報(&I)"), [this] { openScreen(Screen::InShohin); },
        screenAvailable(Screen::InShohin));
    addEntry(
        setup, "mnuInportB", QStringLiteral("品名情報のｲﾝﾎﾟｰﾄ(&S)"), [this] { openScreen(Screen::ExcelB); },
        screenAvailable(Screen::ExcelB));
    setup->addSeparator();
    addEntry(
        setup, "mnuTani", QStringLiteral("数量単位情報(&Q)"), [this] { openScreen(Screen::Tani); },
        screenAvailable(Screen::Tani));
    setup->addSeparator();
    // The same import as the button beside it: a menu entry that did nothing would only puzzle.
    addEntry(
        setup, "mnuInportA", QStringLiteral("棚卸のｲﾝﾎﾟｰﾄ(&T)"), [this] { openScreen(Screen::ExcelA); },
        screenAvailable(Screen::ExcelA));

    QMenu* help = addMenu("mnuHelp", QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    addEntry(help, "mnuHelpReadme", QStringLiteral("目次と検索(&H)"), [this] { openManual(); });
    help->addSeparator();
    addEntry(help, "mnuHelpSport", QStringLiteral("オンラインサポート(&S)"),
             [this] { HelpPages::showSupport(m_state); });
    addEntry(
        help, "mnuUpdate", QStringLiteral("アップデート(&U)"), [this] { openScreen(Screen::Update); },
        screenAvailable(Screen::Update));
    help->addSeparator();
    addEntry(
        help, "mnuAbout", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"), [this] { openScreen(Screen::About); },
        screenAvailable(Screen::About));
}

void frmAMain::setTabOrder()
{
    const QList<QWidget*> order
        = { DTPicker1, Command17, Command19, Command21, Command3,  Command4, Command5, Command28,
            Command33, Command24, Command1,  Command2,  Command22, Combo3,   Command58 };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    DTPicker1->setFocus();
}

QString frmAMain::fileName() const
{
    return txtFileName->text();
}

void frmAMain::setFileName(const QString& name)
{
    txtFileName->setText(name);
}

void frmAMain::showFileStatus(const QString& text)
{
    m_panel1->setText(text);
}

void frmAMain::showSizeBefore(const QString& text)
{
    Label5->setText(text);
}

void frmAMain::showSizeAfter(const QString& text)
{
    Label7->setText(text);
}

void frmAMain::load()
{
    Settings& settings = m_state.settings;
    if (const QString problem = SettingsFile::readProblem(settings.fileName()); !problem.isEmpty())
        m_state.prompter.notice(problem, Prompter::Icon::Exclamation);
    Combo3->addItems({ QStringLiteral("すべて選択"), QStringLiteral("棚卸表"), QStringLiteral("項目分類情報"),
                       QStringLiteral("品名情報"), QStringLiteral("数量単位情報") });

    // Each value that cannot be read takes its own default; the others are read as stored.
    placeWindow(this, settings, Setting::MainLeft, Setting::MainTop);

    const QDate date = DateText::fromText(settings.value(Setting::FDate));
    DTPicker1->setDate(date.isValid() ? date : m_state.clock.today());

    m_state.PictureFile = settings.value(Setting::PictureFile);
    m_state.PrinterName = settings.value(Setting::PrinterName);
    if (m_state.PrinterName.isEmpty())
        m_state.PrinterName = QPrinterInfo::defaultPrinterName();
    m_state.PrinterFont = settings.value(Setting::PrinterFont);
    m_settingsLoaded = true;

    m_state.DatabaseFileName = settings.value(Setting::MDBFileName);
    if (!m_commandLineFile.isEmpty())
        m_state.DatabaseFileName = m_commandLineFile;
    if (m_state.DatabaseFileName.isEmpty())
        m_state.DatabaseFileName = m_state.paths.templatePath();
    setFileName(m_state.DatabaseFileName);
    m_files.removeLeftovers();

    const bool opened = m_files.openConnection(m_state.DatabaseFileName);
    showAccess();
    if (!opened) {
        // A missing template is named by the first-run guidance that follows.
        const bool isTemplate = FileOps::samePathIgnoringCase(m_state.DatabaseFileName, m_state.paths.templatePath());
        m_state.prompter.notice(FailureCause::withCause(
            LoadFailed, isTemplate ? QString() : FailureCause::ofOpen(m_state.DatabaseFileName)));
        return;
    }
    // The old platform names ("98/Me", "NT/XP") name no system this runs on; both stay as they are.

    if (!m_state.PictureFile.isEmpty())
        showPicture();
}

void frmAMain::showPicture()
{
    const QPixmap picture(m_state.PictureFile);
    if (picture.isNull()) {
        // The picture file is named: at start it is the one chosen in an earlier run.
        const QFileInfo file(m_state.PictureFile);
        const QString name = QDir::toNativeSeparators(file.absoluteFilePath());
        QString text = QStringLiteral("読み込めない形式のﾌｧｲﾙです。\r") + name;
        if (!file.exists())
            text = QStringLiteral("画像ファイル（%1）が見つかりません。").arg(name);
        else if (!file.isReadable())
            text = QStringLiteral("画像ファイル（%1）を読む権限がありません。").arg(name);
        m_state.prompter.notice(text, Prompter::Icon::Critical, InputCheckTitle);
        return;
    }
    Picture2->setPixmap(picture.scaled(PictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void frmAMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The activation steps may open modal windows, so they run after the event, not inside it.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activationQueued && !m_closed) {
        m_activationQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_activationQueued = false;
            onActivated();
        });
    }
}

void frmAMain::onActivated()
{
    if (m_closed)
        return;
    restoreArrowCursor();
    // Another copy of the program, or the command line, may have finalised the date meanwhile.
    showFinalised();
    if (!m_checkedAtStart) {
        m_checkedAtStart = true;
        checkOpenFile();
    }
    if (DateText::toText(m_state.clock.today()).size() != 10)
        m_panel1->setText(QStringLiteral("　システムの日付を１０桁表示に設定してください。(yyyy/MM/dd "));
    if (!GuidanceShown && FileOps::samePathIgnoringCase(txtFileName->text(), m_state.paths.templatePath()))
        runFirstRunGuidance();
}

void frmAMain::runFirstRunGuidance()
{
    GuidanceShown = true;
    // Without the template no database can be made: the user is told which file is missing
    // and the program stays open, so an existing file can still be opened.
    if (const QString missing = m_files.missingTemplate(); !missing.isEmpty()) {
        m_state.prompter.notice(missing, Prompter::Icon::Critical);
        return;
    }
    frmTipA::showLines(this, guidanceLines());

    const std::optional<QString> chosen
        = m_state.prompter.openFile(m_files.databaseDialog(QStringLiteral("新しいファイル名"), false));
    if (!chosen || chosen->isEmpty() || *chosen == m_state.paths.templatePath())
        return stopGuidance();

    QString error;
    if (m_files.createFromTemplate(*chosen, &error) != DatabaseFiles::Outcome::Done) {
        if (!error.isEmpty())
            m_state.prompter.notice(error, Prompter::Icon::Critical);
        return stopGuidance();
    }
    m_state.prompter.notice(QStringLiteral("棚卸表データファイルを作成しました。決算日を入力してください。"));
    DTPicker1->setFocus();
}

void frmAMain::stopGuidance()
{
    m_state.prompter.notice(GuidanceStopped);
    close();
}

bool frmAMain::checkLines(const QString& emptyMessage)
{
    const std::optional<bool> rows = m_state.DatabaseConnection.hasRows(Table::Tana);
    if (!rows) {
        m_state.prompter.notice(QStringLiteral("データベースの接続に失敗しました。"));
        return false;
    }
    if (!*rows) {
        m_state.prompter.notice(emptyMessage);
        return false;
    }
    return true;
}

void frmAMain::checkAndOpen(const QString& emptyMessage, Screen screen, bool hourglass)
{
    if (!checkLines(emptyMessage))
        return;
    if (hourglass)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor); // the opened screen turns it back
    openScreen(screen);
}

void frmAMain::confirmDateAndOpenEntry()
{
    const QDate date = DTPicker1->date();
    if (date == m_state.clock.today()
        && !m_state.prompter.ask(QStringLiteral("入力する棚卸の決算日は、") + DateText::toText(date)
                                 + QStringLiteral("です。よろしいですか。"))) {
        DTPicker1->setFocus();
        return;
    }
    openScreen(Screen::Tana);
}

bool frmAMain::screenAvailable(Screen screen) const
{
    switch (screen) {
    case Screen::Tana:
    case Screen::InAmd2:
    case Screen::List:
    case Screen::ExcelA:
    case Screen::ExcelB:
    case Screen::Koumoku:
    case Screen::InShohin:
    case Screen::Tani:
        return true;
    case Screen::TanaMoto1:
    case Screen::About:
    case Screen::Update:
    case Screen::TanaMoto2:
        return true;
    case Screen::PrinterP:
        return m_state.printers != nullptr;
    default:
        return false;
    }
}

void frmAMain::openScreen(Screen screen)
{
    // Work put into the backup copy would be set aside at the next close: said before it starts.
    if ((screen == Screen::Tana || screen == Screen::ExcelA || screen == Screen::ExcelB) && m_files.backupUntold())
        fileCommand([this] { m_files.offerSaveAsForBackup(); });
    switch (screen) {
    case Screen::Tana:
        if (!m_tana)
            m_tana = new frmTana(m_state, DTPicker1->date(), this);
        m_tana->show();
        m_tana->raise();
        m_tana->activateWindow();
        return;
    case Screen::InAmd2: {
        frmInAmd2 correction(m_state, DTPicker1->date(), this);
        correction.exec();
        if (m_tana)
            m_tana->reload();
        return;
    }
    case Screen::List: {
        std::optional<SummaryViews::View> printWanted;
        QDate listDate;
        {
            frmList list(m_state, DTPicker1->date(), this);
            list.exec();
            printWanted = list.printWanted();
            listDate = list.date();
        }
        // The category check may have moved lines to 未区分.
        if (m_tana)
            m_tana->reload();
        // The list closes for the print dialog of the sheet, or of the summary sheet of its totals.
        if (printWanted == SummaryViews::View::AllLines) {
            openScreen(Screen::TanaMoto1);
        } else if (printWanted) {
            const SummarySheet::By by = printWanted == SummaryViews::View::CategoryTotals ? SummarySheet::By::Category
                                                                                          : SummarySheet::By::Product;
            DialogTanaMoto3(m_state, listDate, SummarySheet::title(by), SummarySheet::heading(by), this).exec();
        }
        return;
    }
    case Screen::TanaMoto2:
        DialogTanaMoto2(m_state, this).exec();
        return;
    case Screen::TanaMoto1: {
        bool correctionWanted = false;
        {
            DialogTanaMoto1 dialog(m_state, DTPicker1->date(), this);
            dialog.exec();
            correctionWanted = dialog.correctionWanted();
        }
        if (m_tana)
            m_tana->reload();
        // Lines the sheet left out are put right in the correction screen.
        if (correctionWanted)
            openScreen(Screen::InAmd2);
        return;
    }
    case Screen::Koumoku: {
        bool categoryDeleted = false;
        {
            WaitCursor hourglass;
            frmKoumoku categories(m_state, this);
            categories.exec();
            categoryDeleted = categories.categoryDeleted();
        }
        // Lines may still point at a deleted category; they are put right there.
        if (categoryDeleted)
            openScreen(Screen::InAmd2);
        return;
    }
    case Screen::InShohin: {
        bool importWanted = false;
        {
            WaitCursor hourglass;
            frmInShohin products(m_state, this);
            products.exec();
            importWanted = products.importWanted();
        }
        // The product screen closes for the product import.
        if (importWanted)
            openScreen(Screen::ExcelB);
        return;
    }
    case Screen::ExcelA:
    case Screen::ExcelB: {
        ImportRunDialog(m_state, screen == Screen::ExcelA ? ImportKind::Lines : ImportKind::Products, this).exec();
        // The entry screen's look-ups and lines show what came in.
        if (m_tana)
            m_tana->reload();
        return;
    }
    case Screen::Tani: {
        WaitCursor hourglass;
        frmTani(m_state, this).exec();
        return;
    }
    case Screen::PrinterP: {
        WaitCursor hourglass;
        frmPrinterP(m_state, *m_state.printers, this).exec();
        return;
    }
    case Screen::About:
        frmAbout(m_state, this).exec();
        return;
    case Screen::Update: {
        // Without an update page of the settings there is nothing to download: updates come
        // through the system's packages, and the program stays as it is.
        if (!HelpPages::hasUpdatePage(m_state)) {
            HelpPages::tellHowUpdatesArrive(m_state);
            return;
        }
        bool download = false;
        {
            WaitCursor hourglass;
            DialogUpdate update(m_state, this);
            update.exec();
            download = update.downloadChosen();
        }
        // The update replaces the program's files: the program ends with its closing steps.
        if (download)
            close();
        return;
    }
    default:
        restoreArrowCursor();
        StatusBar1->showMessage(QStringLiteral("この機能は準備中です。"), 3000);
        return;
    }
}

void frmAMain::openManual()
{
    const QString index = m_state.paths.manualIndex();
    if (!QFileInfo(index).isFile()) {
        m_state.prompter.notice(QStringLiteral("マニュアルが見つかりません。\r") + QDir::toNativeSeparators(index)
                                    + QStringLiteral("\rマニュアルはプログラムと一緒にインストールされます。"
                                                     "プログラムをインストールし直してください。"),
                                Prompter::Icon::Exclamation);
        return;
    }
    if (!m_state.desktop->open(QUrl::fromLocalFile(index)))
        m_state.prompter.notice(
            QStringLiteral(
                "マニュアルを表示するプログラムが見つかりませんでした。次のファイルをブラウザで開いてください。\r")
            + QDir::toNativeSeparators(index));
}

void frmAMain::replacePicture()
{
    FileDialogRequest request;
    request.title = QStringLiteral("開く");
    request.filter = QStringLiteral("すべてのﾌｧｲﾙ(*.*)|*.*|");
    const std::optional<QString> chosen = m_state.prompter.openFile(request);
    if (!chosen || chosen->isEmpty())
        return;
    m_state.PictureFile = *chosen;
    Picture2->clear();
    showPicture();
}

void frmAMain::resetPicture()
{
    m_state.PictureFile.clear();
    m_state.prompter.notice(QStringLiteral("設定を有効にするには、ｱﾌﾟﾘｹｰｼｮﾝを終了してください。"),
                            Prompter::Icon::Exclamation, InputCheckTitle);
}

void frmAMain::fileCommand(const std::function<void()>& command)
{
    const QString before = m_state.DatabaseFileName;
    command();
    showAccess();
    // The entry screen shows what the database holds now.
    if (m_tana)
        m_tana->reload();
    if (m_state.DatabaseFileName != before)
        checkOpenFile();
}

void frmAMain::checkOpenFile()
{
    // The template is opened read-only and never worked on.
    if (!m_state.ConnectionOpen
        || FileOps::samePathIgnoringCase(m_state.DatabaseFileName, m_state.paths.templatePath()))
        return;
    m_check->start(m_state.DatabaseFileName, [this](const QString& path, const FileOps::FileCheck& check) {
        if (!m_closed && check.status == FileOps::FileCheck::Status::Damaged && path == m_state.DatabaseFileName)
            fileCommand([this] { m_files.reportDamage(); });
    });
}

void frmAMain::showAccess()
{
    // A file opened read-only can be looked at: the count through the correction screen (which
    // then edits nothing) and the printed sheets. The commands that exist to change the file
    // (entry, imports, master maintenance, compaction, data deletion) are off.
    const bool readOnly = m_state.ConnectionOpen && m_state.DatabaseConnection.isReadOnly()
        && !FileOps::samePathIgnoringCase(m_state.DatabaseFileName, m_state.paths.templatePath());
    setWindowTitle(readOnly ? Title + QStringLiteral("（読み取り専用）") : Title);
    for (QPushButton* button : { Command17, Command22, Command58 })
        button->setEnabled(!readOnly);
    Combo3->setEnabled(!readOnly);
    const QList<std::pair<QPushButton*, Screen>> screens = { { Command5, Screen::ExcelA },
                                                             { Command28, Screen::Koumoku },
                                                             { Command33, Screen::InShohin },
                                                             { Command24, Screen::Tani } };
    for (const auto& [button, screen] : screens)
        button->setEnabled(!readOnly && screenAvailable(screen));
    for (const char* name : { "mnuPreTana", "mnuInportA", "mnuInportB", "mnuPreSiire", "mnuPreShohin", "mnuTani",
                              "mnuKakutei", "mnuKakuteiTorikeshi" }) {
        if (auto* action = findChild<QAction*>(QString::fromLatin1(name)))
            action->setEnabled(!readOnly && action->property("available").toBool());
    }
    if (readOnly && m_tana)
        m_tana->close();
    showFinalised();
}

void frmAMain::toggleRepairFrame()
{
    Frame8->setVisible(!Frame8->isVisible());
}

void frmAMain::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void frmAMain::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    m_closed = true;
    closeOtherWindows();
    const bool wasOpen = m_state.ConnectionOpen;
    if (wasOpen)
        m_state.DatabaseConnection.close();
    m_state.ConnectionOpen = false;
    // The backup first: what it records of the new copy is saved with the other settings.
    const QString backup = wasOpen ? makeBackup() : QString();
    if (!saveSettings())
        m_state.prompter.notice(FailureCause::withCause(SettingsFile::writeProblem(m_state.settings.fileName()),
                                                        FailureCause::ofWrite(m_state.settings.fileName())));
    if (!backup.isEmpty())
        m_state.prompter.notice(backup);
    event->accept();
}

void frmAMain::closeOtherWindows()
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        QWidget* w = *it;
        if (w != this && w->isVisible())
            w->close();
    }
}

bool frmAMain::saveSettings()
{
    Settings& settings = m_state.settings;
    // Only what this run read can be written back; values it never read stay as stored.
    if (!m_settingsLoaded)
        return settings.sync();
    settings.setValue(Setting::PrinterName, m_state.PrinterName);
    settings.setValue(Setting::PrinterFont, m_state.PrinterFont);
    settings.setValue(Setting::PictureFile, m_state.PictureFile);
    settings.setValue(Setting::FDate, DateText::toText(DTPicker1->date()));
    if (!isMinimized()) {
        const QString left = QString::number(pixelsToTwips(x(), logicalDpiX()));
        const QString top = QString::number(pixelsToTwips(y(), logicalDpiY()));
        settings.setValue(Setting::MainLeft, left);
        settings.setValue(Setting::MainTop, top);
        settings.setValue(Setting::frmLeft, left);
        settings.setValue(Setting::frmTop, top);
    }
    return settings.sync();
}
