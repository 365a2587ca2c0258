#include "MainWindowTest.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/files/DatabaseFiles.h"
#include "core/store/Database.h"
#include "gui/shell/frmAMain.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <memory>

namespace {

const QString GuidanceStopped
    = QStringLiteral("現在、初期設定用のファイルが選択されていますので、一旦処理を中止します。");
const QString LoadFailed = QStringLiteral("データベースの接続に失敗しました。ファイル名を変更してください。");

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsAndCaptions();
    void firstRunCancelled();
    void firstRunCreatesDatabase_data();
    void firstRunCreatesDatabase();
    void commandLineFileWins();
    void fileThatIsNotADatabase();
    void rememberedFileGone();
    void positionOffEveryScreenComesBack();
    void missingTemplateLeavesTheProgramUsable();
    void readOnlyFileIsShownNotChanged();
    void dialogsBelongToTheirWindow();
    void checkButtonsOnEmptyTable_data();
    void checkButtonsOnEmptyTable();
    void settlementDateConfirmation();
    void summaryListByKeyboard();
    void pictureReplacementAndReset();
    void closingSavesSettingsAndBackup();
    void closingWithTheBackupOpen();
    void closingMinimizedKeepsPositions();
    void damagedFileKeepsTheGoodBackup();
    void closingWhileAnotherProgramWrites();
    void leftoversOfACrashAreRemovedAtStart();
    void fileCommandsAreWired();
};

void TestMainWindow::controlsAndCaptions()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    QCOMPARE(m.window->windowTitle(), QStringLiteral("Kotrina Sheet Version 1.0"));
    QCOMPARE(m.find<QPushButton>("Command17")->text(), QStringLiteral("棚 卸 入 力 (&E)　　"));
    QCOMPARE(m.find<QPushButton>("Command22")->text(), QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽの修復/最適化((&Z)"));
    QCOMPARE(m.find<QPushButton>("Command4")->toolTip(),
             QStringLiteral("前期の棚卸表から「棚卸記入帳」が作成できますので、棚卸し実地の記録に活用できます。"));
    QCOMPARE(ScreenTest::itemTexts(m.find<QComboBox>("Combo3")).join(QLatin1Char('|')),
             QStringLiteral("すべて選択|棚卸表|項目分類情報|品名情報|数量単位情報"));

    // Menus in order, separators included.
    QStringList menus;
    for (QAction* top : m.window->menuBar()->actions()) {
        QStringList entries;
        for (QAction* entry : top->menu()->actions())
            entries << (entry->isSeparator() ? QStringLiteral("—") : entry->text());
        menus << top->text() + QLatin1Char(':') + entries.join(QLatin1Char(','));
    }
    QCOMPARE(
        menus,
        QStringList({
            QStringLiteral("ﾌｧｲﾙ(&F):新規作成(&N),—,開く(&O),名前を付けて保存(&S),—,ﾌﾟﾘﾝﾀの設定(&U),—,"
                           "バックアップファイルを開く(&B),終了(&X)"),
            QStringLiteral("表示(&V):画像の差替え(&P),画像を元に戻す(&U),—,ﾃﾞｰﾀﾍﾞｰｽの修復(&R)"),
            QStringLiteral("棚卸表(&S):棚卸入力(&E),棚卸表訂正(&R),—,棚卸集計表(&D),棚卸記入帳(&L),—,棚卸表(&P)"),
            QStringLiteral("初期設定(&A):項目/分類情報(&B),—,品名情報(&I),品名情報のｲﾝﾎﾟｰﾄ(&S),—,数量単位情報(&Q),—,"
                           "棚卸のｲﾝﾎﾟｰﾄ(&T)"),
            QStringLiteral("ﾍﾙﾌﾟ(&H):目次と検索(&H),—,オンラインサポート(&S),アップデート(&U),—,ﾊﾞｰｼﾞｮﾝ情報(&A)"),
        }));

    // The repair frame starts hidden and both its commands toggle it.
    auto* frame = m.find<QFrame>("Frame8");
    QVERIFY(!frame->isVisible());
    m.trigger("Command1");
    QVERIFY(frame->isVisible());
    m.trigger("mnuDatabaseRep");
    QVERIFY(!frame->isVisible());
    QVERIFY(m.prompter.shown().isEmpty());
}

void TestMainWindow::firstRunCancelled()
{
    MainWindow m;
    m.prompter.answerFile(std::nullopt);
    m.start();

    QCOMPARE(m.find<QLineEdit>("txtFileName")->text(), m.env.paths().templatePath());
    QCOMPARE(m.panel1(), m.env.paths().templatePath());
    QCOMPARE(m.modals.tips.size(), 1);
    QVERIFY(
        m.modals.tips[0].startsWith(QStringLiteral("\nコトリナをご利用いただきありがとうございます。\n\n\n■新規に")));
    QVERIFY(m.modals.tips[0].endsWith(QStringLiteral("誤作動を起こす場合があります｡ \n")));

    const auto& shown = m.prompter.shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, ScriptedPrompter::Kind::OpenFile);
    QCOMPARE(shown[0].file.title, QStringLiteral("新しいファイル名")); // filters as for 新規作成
    QCOMPARE(shown[0].file.directory, QDir::homePath()); // never the program's own folder
    QCOMPARE(shown[1].text, GuidanceStopped);
    QCOMPARE(shown[1].title, QStringLiteral("Information"));
    QCOMPARE(shown[1].icon, Prompter::Icon::Information);
    QVERIFY(!m.window->isVisible());
    // The empty template never replaces a backup.
    QVERIFY(!QFileInfo::exists(m.env.paths().backupPath()));
    QVERIFY(m.prompter.problems().isEmpty());
}

void TestMainWindow::firstRunCreatesDatabase_data()
{
    QTest::addColumn<QString>("existing"); // contents of a file already under the chosen name
    QTest::addColumn<int>("answer"); // -1: no question expected, 0: No, 1: Yes
    QTest::addColumn<bool>("created");
    QTest::newRow("new name") << QString() << -1 << true;
    QTest::newRow("existing file, overwrite") << QStringLiteral("old") << 1 << true;
    QTest::newRow("existing file, keep it") << QStringLiteral("old") << 0 << false;
}

void TestMainWindow::firstRunCreatesDatabase()
{
    QFETCH(QString, existing);
    QFETCH(int, answer);
    QFETCH(bool, created);
    MainWindow m;
    const QString chosen = m.env.path(QStringLiteral("店の棚卸 2026.idb"));
    if (!existing.isEmpty())
        m.env.writeFile(QStringLiteral("店の棚卸 2026.idb"), existing.toUtf8());
    m.prompter.answerFile(chosen);
    if (answer >= 0)
        m.prompter.answerAsk(answer == 1);
    m.start();

    QStringList expected;
    if (answer >= 0)
        expected << QStringLiteral("指定した名前のファイルが存在します。\r上書きしますか？");
    expected << (created ? QStringLiteral("棚卸表データファイルを作成しました。決算日を入力してください。")
                         : GuidanceStopped);
    QCOMPARE(m.prompter.texts(), expected);
    QVERIFY(m.prompter.problems().isEmpty());
    if (!created) {
        QVERIFY(!m.window->isVisible());
        QCOMPARE(readAll(chosen), existing.toUtf8());
        return;
    }
    QVERIFY(m.window->isVisible());
    QVERIFY(m.state.ConnectionOpen);
    QCOMPARE(m.state.DatabaseFileName, chosen);
    QCOMPARE(m.find<QLineEdit>("txtFileName")->text(), chosen);
    QCOMPARE(m.panel1(), chosen);
    QCOMPARE(m.settings.value(Setting::MDBFileName), chosen);
    QCOMPARE(m.window->focusWidget(), m.find<QWidget>("DTPicker1"));
    QCOMPARE(m.state.DatabaseConnection.nextId(Table::Koumoku), 1);

    // The guidance is shown once per run.
    m.window->activateWindow();
    ScreenTest::settle();
    QCOMPARE(m.modals.tips.size(), 1);
}

void TestMainWindow::commandLineFileWins()
{
    MainWindow m;
    const QString remembered = m.env.newDatabase(QStringLiteral("remembered.idb"));
    const QString given = m.env.newDatabase(QStringLiteral("given.idb"));
    m.settings.setValue(Setting::MDBFileName, remembered);
    m.start(given);
    QCOMPARE(m.state.DatabaseFileName, given);
    QCOMPARE(m.state.DatabaseConnection.fileName(), given);
    QVERIFY(m.state.ConnectionOpen);
    QCOMPARE(m.panel1(), given);
    QVERIFY(m.modals.tips.isEmpty());
    QVERIFY(m.prompter.shown().isEmpty());
}

void TestMainWindow::fileThatIsNotADatabase()
{
    MainWindow m;
    const QByteArray text = "品名\t数量\n";
    const QString file = m.env.writeFile(QStringLiteral("list.idb"), text);
    const QString backup = m.env.writeFile(QStringLiteral("home/BackupKotrina.idb"), "last good backup");
    m.start(file);
    QCOMPARE(m.prompter.texts(), QStringList { LoadFailed });
    QVERIFY(!m.state.ConnectionOpen);
    m.window->close();
    // Neither the file nor the last backup was touched, and no failure was claimed at close.
    QCOMPARE(readAll(file), text);
    QCOMPARE(readAll(backup), QByteArray("last good backup"));
    QCOMPARE(m.prompter.texts(), QStringList { LoadFailed });
}

void TestMainWindow::rememberedFileGone()
{
    MainWindow m;
    const QString gone = m.env.path(QStringLiteral("moved away.idb"));
    m.settings.setValue(Setting::MDBFileName, gone);
    m.start();
    QCOMPARE(m.prompter.texts(),
             QStringList { LoadFailed + QStringLiteral("\rファイル（%1）が見つかりません。").arg(gone) });
    QVERIFY(!m.state.ConnectionOpen);
}

void TestMainWindow::positionOffEveryScreenComesBack()
{
    MainWindow m;
    m.settings.setValue(Setting::MainLeft, QStringLiteral("-3000000"));
    m.settings.setValue(Setting::MainTop, QStringLiteral("99999999"));
    m.settings.setValue(Setting::frmLeft, QStringLiteral("60000")); // right of an 800 pixel screen
    m.settings.setValue(Setting::frmTop, QStringLiteral("1500"));
    m.start(m.env.newDatabase());
    const QRect screen = m.window->screen()->availableGeometry();
    QVERIFY2(screen.contains(m.window->geometry().topLeft()),
             qPrintable(QStringLiteral("%1,%2").arg(m.window->x()).arg(m.window->y())));

    m.trigger("mnuPreTana");
    auto* entry = m.window->findChild<QWidget*>(QStringLiteral("frmTana"));
    QVERIFY(entry && entry->isVisible());
    QVERIFY(screen.contains(entry->geometry().topLeft()));
    QVERIFY(entry->x() > 0);
    // The height that was on the screen is kept.
    QCOMPARE(entry->y(), 1500 * entry->logicalDpiY() / 1440);
}

void TestMainWindow::missingTemplateLeavesTheProgramUsable()
{
    MainWindow m;
    QVERIFY(QFile::remove(m.env.paths().templatePath()));
    m.start();
    QCOMPARE(m.prompter.texts(),
             QStringList(
                 { LoadFailed,
                   QStringLiteral("初期設定用のファイル（%1）が見つかりません。").arg(m.env.paths().templatePath()) }));
    QCOMPARE(m.prompter.shown()[1].icon, Prompter::Icon::Critical);
    QVERIFY(m.modals.tips.isEmpty());
    QVERIFY(m.window->isVisible());

    // An existing file can be opened.
    m.prompter.clear();
    m.prompter.answerFile(m.env.newDatabase());
    m.trigger("mnuOpen");
    QVERIFY(m.prompter.texts().isEmpty());
    QVERIFY(m.state.ConnectionOpen);
}

void TestMainWindow::readOnlyFileIsShownNotChanged()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.addLine(file);
    WriteProtection protection(file);
    if (!protection.isActive())
        QSKIP("the file system cannot make a file read-only here");
    m.start(file);
    QCOMPARE(m.prompter.texts().size(), 1);
    QVERIFY(m.prompter.texts()[0].startsWith(QStringLiteral("データベースファイルを読み取り専用で開きました。\r")));
    QVERIFY(m.state.ConnectionOpen);
    QCOMPARE(m.window->windowTitle(), QStringLiteral("Kotrina Sheet Version 1.0（読み取り専用）"));
    for (const char* name : { "Command17", "Command22", "Command58", "Combo3", "Command28", "Command33", "Command24" })
        QVERIFY2(!m.find<QWidget>(name)->isEnabled(), name);
    QVERIFY(!m.find<QAction>("mnuPreTana")->isEnabled());
    // The count can still be looked at.
    QVERIFY(m.find<QWidget>("Command19")->isEnabled());
    m.trigger("Command19");
    QCOMPARE(m.modals.screens, QStringList { QStringLiteral("frmInAmd2") });
}

void TestMainWindow::checkButtonsOnEmptyTable_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("message");
    const QString button = QStringLiteral("現在、該当する棚卸はありません。");
    const QString menu = QStringLiteral("現在、該当する棚卸表はありません。");
    for (const char* name : { "Command19", "Command21", "Command3", "Command4" })
        QTest::newRow(name) << QString::fromLatin1(name) << button;
    for (const char* name : { "mnuTanaAmd", "mnuList", "mnuList2", "mnuTanaMoto" })
        QTest::newRow(name) << QString::fromLatin1(name) << menu;
}

void TestMainWindow::checkButtonsOnEmptyTable()
{
    QFETCH(QString, control);
    QFETCH(QString, message);
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    m.trigger(control.toLatin1().constData());
    QCOMPARE(m.prompter.texts(), QStringList { message });
    QCOMPARE(m.prompter.shown()[0].title, QStringLiteral("Information"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // With a line stored the check passes silently and the screen opens.
    m.prompter.clear();
    m.addLine(file);
    m.trigger(control.toLatin1().constData());
    QVERIFY(m.prompter.texts().isEmpty());
    if (control == QLatin1String("Command19") || control == QLatin1String("mnuTanaAmd"))
        QCOMPARE(m.modals.screens, QStringList { QStringLiteral("frmInAmd2") });
}

void TestMainWindow::summaryListByKeyboard()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    m.addLine(file);
    // In the list: the category totals chosen from the combo's pop-up.
    QStringList totals;
    const auto readTotals = [&](QDialog* list) {
        QVERIFY(ScreenTest::chooseFromList(list->findChild<QComboBox*>(QStringLiteral("Combo1")),
                                           QStringLiteral("項目/分類別集計表")));
        const QAbstractItemModel* rows = list->findChild<QTableView*>(QStringLiteral("dgdSub"))->model();
        for (int r = 0; r < rows->rowCount(); ++r)
            totals << rows->index(r, 1).data().toString() + QLatin1Char(' ') + rows->index(r, 2).data().toString();
    };
    m.modals.steps[QStringLiteral("frmList")] = readTotals;
    QTest::keyClick(m.window.get(), Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE(m.modals.screens, QStringList { QStringLiteral("frmList") }); // a mnemonic clicks after a moment
    QCOMPARE(totals, QStringList { QStringLiteral("未区分 100") });

    // The menu: Alt+S opens 棚卸表(&S), D takes 棚卸集計表(&D).
    totals.clear();
    m.modals.steps[QStringLiteral("frmList")] = readTotals;
    m.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
    QTest::keyClick(m.window.get(), Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_D);
    QTRY_COMPARE(m.modals.screens.size(), 2);
    QCOMPARE(totals, QStringList { QStringLiteral("未区分 100") });
    QVERIFY(m.prompter.texts().isEmpty());
}

void TestMainWindow::settlementDateConfirmation()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    auto* date = m.find<QDateEdit>("DTPicker1");
    QCOMPARE(date->date(), m.clock.today()); // no stored date: today
    // Enter moves to the next control, on a button too without pressing it.
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(QApplication::focusWidget(), m.find<QWidget>("Command17"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    ScreenTest::settle();
    QCOMPARE(QApplication::focusWidget(), m.find<QWidget>("Command19"));
    QVERIFY(m.prompter.shown().isEmpty());

    m.find<QPushButton>("Command2")->setFocus();
    m.prompter.answerAsk(false);
    m.trigger("Command17");
    QCOMPARE(m.prompter.texts(),
             QStringList { QStringLiteral("入力する棚卸の決算日は、2026/03/31です。よろしいですか。") });
    QCOMPARE(m.prompter.shown()[0].title, QStringLiteral("Question"));
    QCOMPARE(QApplication::focusWidget(), date);

    QVERIFY(!m.window->findChild<QWidget*>(QStringLiteral("frmTana")));

    // Another date is taken without a question, and the entry screen opens on it beside
    // the main window; the menu entry brings the same one forward.
    m.prompter.clear();
    date->setDate(QDate(2025, 12, 31));
    m.trigger("Command17");
    QVERIFY(m.prompter.shown().isEmpty());
    auto* entry = m.window->findChild<QWidget*>(QStringLiteral("frmTana"));
    QVERIFY(entry && entry->isVisible());
    QCOMPARE(entry->findChild<QDateEdit*>(QStringLiteral("DTPicker1"))->date(), QDate(2025, 12, 31));
    m.trigger("mnuPreTana");
    QCOMPARE(m.window->findChildren<QWidget*>(QStringLiteral("frmTana")).size(), 1);
    // Closing the main window closes it too.
    m.window->close();
    QVERIFY(!entry->isVisible());
}

void TestMainWindow::pictureReplacementAndReset()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    const QString notAPicture = m.env.writeFile(QStringLiteral("photo.png"), "not a picture");
    m.prompter.answerFile(notAPicture);
    m.trigger("mnuPicLoad");
    QCOMPARE(m.prompter.shown()[0].file.title, QStringLiteral("開く"));
    QCOMPARE(m.prompter.shown()[0].file.filter, QStringLiteral("すべてのﾌｧｲﾙ(*.*)|*.*|"));
    QCOMPARE(m.prompter.shown()[1].text, QStringLiteral("読み込めない形式のﾌｧｲﾙです。"));
    QCOMPARE(m.prompter.shown()[1].icon, Prompter::Icon::Critical);
    QCOMPARE(m.prompter.shown()[1].title, QStringLiteral("入力事項の確認"));
    QCOMPARE(m.state.PictureFile, notAPicture);

    // A real picture is shown; a cancelled dialog changes nothing.
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString picture = m.env.path(QStringLiteral("red.png"));
    QVERIFY(image.save(picture));
    m.prompter.clear();
    m.prompter.answerFile(picture);
    m.prompter.answerFile(std::nullopt);
    m.trigger("mnuPicLoad");
    m.trigger("mnuPicLoad");
    QCOMPARE(m.prompter.texts(), QStringList());
    QCOMPARE(m.state.PictureFile, picture);
    QCOMPARE(m.find<QLabel>("Picture2")->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));

    m.trigger("mnuPSave");
    QCOMPARE(m.prompter.texts(), QStringList { QStringLiteral("設定を有効にするには、ｱﾌﾟﾘｹｰｼｮﾝを終了してください。") });
    QCOMPARE(m.prompter.shown().last().icon, Prompter::Icon::Exclamation);
    QCOMPARE(m.prompter.shown().last().title, QStringLiteral("入力事項の確認"));
    m.window->close();
    QCOMPARE(m.settings.value(Setting::PictureFile), QString());
}

void TestMainWindow::closingSavesSettingsAndBackup()
{
    // An unreadable setting takes its own default and costs none of the others.
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.settings.setValue(Setting::MDBFileName, file);
    m.settings.setValue(Setting::MainLeft, QStringLiteral("1 200"));
    m.settings.setValue(Setting::MainTop, QStringLiteral("750"));
    m.settings.setValue(Setting::FDate, QStringLiteral("2025/09/30"));
    m.settings.setValue(Setting::PrinterName, QStringLiteral("事務所のプリンタ"));
    m.settings.setValue(Setting::PrinterFont, QStringLiteral("ＭＳ ゴシック"));
    m.start();
    QVERIFY(readAll(m.env.settingsFile()).contains("MainLeft=1 200"));
    QVERIFY(m.prompter.shown().isEmpty());
    QVERIFY(m.state.ConnectionOpen);
    QCOMPARE(m.state.DatabaseFileName, file);
    QCOMPARE(m.find<QDateEdit>("DTPicker1")->date(), QDate(2025, 9, 30));
    QCOMPARE(m.state.PrinterFont, QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(m.window->x(), 0);
    m.addLine(file);
    m.find<QDateEdit>("DTPicker1")->setDate(QDate(2026, 3, 31));
    m.window->move(200, 100);

    m.trigger("Command2");
    QVERIFY(!m.window->isVisible());
    QVERIFY(m.prompter.shown().isEmpty());
    QVERIFY(!m.state.DatabaseConnection.isOpen());

    Settings stored(m.env.settingsFile(), m.clock);
    QCOMPARE(stored.value(Setting::FDate), QStringLiteral("2026/03/31"));
    QCOMPARE(stored.value(Setting::PrinterName), QStringLiteral("事務所のプリンタ"));
    QCOMPARE(stored.value(Setting::PrinterFont), QStringLiteral("ＭＳ ゴシック"));
    const int dpi = m.window->logicalDpiX();
    QCOMPARE(stored.value(Setting::MainLeft), QString::number(m.window->x() * 1440 / dpi));
    QCOMPARE(stored.value(Setting::frmLeft), stored.value(Setting::MainLeft));
    QCOMPARE(stored.value(Setting::frmTop), stored.value(Setting::MainTop));

    // The backup is a copy that opens as a database with the line in it.
    Database backup;
    QVERIFY(backup.open(m.env.paths().backupPath()));
    QCOMPARE(backup.hasRows(Table::Tana), std::optional<bool>(true));
}

void TestMainWindow::closingWithTheBackupOpen()
{
    MainWindow m;
    m.env.paths().ensureDataDir();
    const QString backup = m.env.paths().backupPath();
    QFile::copy(m.env.newDatabase(), backup);
    const QDateTime before = QFileInfo(backup).lastModified();
    QTest::qWait(20);
    m.start(QStringLiteral("\"%1\"").arg(backup).mid(1).chopped(1));
    QVERIFY(m.state.ConnectionOpen);
    m.window->close();
    QCOMPARE(QFileInfo(backup).lastModified(), before);
    QVERIFY(m.prompter.shown().isEmpty());
    QCOMPARE(QDir(m.env.dataDir()).entryList(QDir::Files), QStringList { QStringLiteral("BackupKotrina.idb") });
}

void TestMainWindow::closingMinimizedKeepsPositions()
{
    MainWindow m;
    m.settings.setValue(Setting::MainLeft, QStringLiteral("300"));
    m.settings.setValue(Setting::frmTop, QStringLiteral("45"));
    m.start(m.env.newDatabase());
    m.window->showMinimized();
    ScreenTest::settle();
    m.window->close();
    Settings stored(m.env.settingsFile(), m.clock);
    QCOMPARE(stored.value(Setting::MainLeft), QStringLiteral("300"));
    QCOMPARE(stored.value(Setting::frmTop), QStringLiteral("45"));
    QCOMPARE(stored.read(QStringLiteral("Settings"), QStringLiteral("MainTop"), QStringLiteral("none")),
             QStringLiteral("none"));
    QCOMPARE(stored.value(Setting::FDate), QStringLiteral("2026/03/31"));
}

void TestMainWindow::damagedFileKeepsTheGoodBackup()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    {
        Database db;
        QVERIFY(db.open(file) && addSampleLines(db, 2000));
    }
    const QString backup = m.env.paths().backupPath();
    QVERIFY(QFile::copy(file, backup));
    const QByteArray good = readAll(backup);
    const QByteArray damaged = damageDataPage(file);
    QVERIFY(!damaged.isEmpty());

    // Told as soon as the check behind the opened window has run; no salvage for now.
    m.prompter.answerAsk(false);
    m.start(file);
    QTRY_COMPARE(m.prompter.texts().size(), 1);
    QVERIFY(m.prompter.texts()[0].startsWith(DatabaseFiles::damageMessage()));
    QVERIFY(m.state.ConnectionOpen);

    // The salvage is also at hand in the repair frame.
    const QString rescued = m.env.path(QStringLiteral("rescued.idb"));
    m.prompter.answerFile(rescued);
    m.prompter.answerAsk(false);
    m.trigger("Command1");
    m.trigger("cmdSalvage");
    QVERIFY(QFileInfo::exists(rescued));
    QCOMPARE(m.state.DatabaseFileName, file);

    m.window->close();
    QCOMPARE(m.prompter.texts().last(),
             QStringLiteral("データベースのバックアップに失敗しました。\r") + DatabaseFiles::damageMessage()
                 + QStringLiteral("前回のバックアップをそのまま残しました。"));
    QCOMPARE(readAll(file), damaged);
    QCOMPARE(readAll(backup), good);
    QVERIFY(m.prompter.problems().isEmpty());
}

void TestMainWindow::closingWhileAnotherProgramWrites()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    const QString backup = m.env.paths().backupPath();
    QVERIFY(QFile::copy(file, backup));
    const QByteArray last = readAll(backup);
    m.start(file);
    m.addLine(file);

    // Another program part way through a large write, some of its pages already in the file.
    const QString other = QStringLiteral("other program");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        const QByteArray before = readAll(file);
        QVERIFY(q.exec(QStringLiteral("PRAGMA cache_size = 5")) && q.exec(QStringLiteral("BEGIN")));
        QVERIFY(
            q.exec(QStringLiteral(R"(WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
            INSERT INTO "棚卸マスター" ("ID", "日付", "品名") SELECT i, '2026-03-31', 'みかん' || i FROM n)")));
        QVERIFY(readAll(file) != before);

        m.window->close();
        QCOMPARE(readAll(backup), last);
        QCOMPARE(m.prompter.texts(),
                 QStringList { QStringLiteral("データベースのバックアップに失敗しました。\r"
                                              "前回のバックアップをそのまま残しました。") });
        QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(other);
}

void TestMainWindow::leftoversOfACrashAreRemovedAtStart()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    // 999999999 is above any process id the system gives.
    const QStringList leftovers = {
        m.env.writeFile(QStringLiteral("home/.kotrina-tmp-999999999-1-BackupKotrina.idb"), "copy"),
        m.env.writeFile(QStringLiteral("home/BackupKotrina.idb.Ab12Cd"), "an earlier version's copy"),
        m.env.writeFile(QStringLiteral(".kotrina-tmp-999999999-2-shop.idb"), "compaction"),
    };
    const QStringList kept = {
        m.env.writeFile(QStringLiteral("home/BackupKotrina.idb.bak"), "user's"),
        m.env.writeFile(QStringLiteral("CompactFileName.idb"), "user's"),
        m.env.writeFile(QStringLiteral("shop.idb.Ab12Cd"), "user's"),
        // A copy of the program at work on the same folder.
        m.env.writeFile(QStringLiteral(".kotrina-tmp-%1-3-shop.idb").arg(QCoreApplication::applicationPid()), "busy"),
    };
    m.start(file);
    for (const QString& path : leftovers)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    for (const QString& path : kept)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
}

void TestMainWindow::fileCommandsAreWired()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    m.addLine(file);

    const QString copy = m.env.path(QStringLiteral("写し.idb"));
    m.prompter.answerFile(copy);
    m.trigger("mnuSave");
    QCOMPARE(m.find<QLineEdit>("txtFileName")->text(), copy);
    QCOMPARE(m.panel1(), copy);
    QCOMPARE(m.settings.value(Setting::MDBFileName), copy);

    m.trigger("Command1");
    m.trigger("Command22");
    QVERIFY(m.find<QLabel>("Label5")->text().startsWith(QStringLiteral("Old FileSize ")));
    QVERIFY(m.find<QLabel>("Label7")->text().startsWith(QStringLiteral("New FileSize ")));
    QVERIFY(m.find<QLabel>("Label7")->text().endsWith(QStringLiteral(" byte")));

    // An open entry screen follows what the file commands do to the database.
    m.trigger("mnuPreTana");
    auto* entry = m.window->findChild<QWidget*>(QStringLiteral("frmTana"));
    QVERIFY(entry);
    auto* status = entry->findChild<QLineEdit*>(QStringLiteral("Text3"));
    QCOMPARE(status->text(), QStringLiteral("Max Record 1   Total 100"));
    m.addLine(copy);
    m.find<QComboBox>("Combo3")->setCurrentIndex(1);
    m.prompter.answerAsk(true);
    m.trigger("Command58");
    QCOMPARE(status->text(), QStringLiteral("Max Record 0   Total "));
    QCOMPARE(m.prompter.texts(),
             QStringList({ QStringLiteral("データベースを最適化しました。"),
                           QStringLiteral(" 棚卸表を削除します。よろしいですか？"),
                           QStringLiteral("棚卸マスターを削除しました。") }));
    QCOMPARE(m.state.DatabaseConnection.hasRows(Table::Tana), std::optional<bool>(false));

    m.prompter.clear();
    m.prompter.answerFile(std::nullopt);
    m.trigger("mnuOpen");
    m.trigger("mnuBackupOpen");
    QCOMPARE(m.find<QLineEdit>("txtFileName")->text(), copy);
    QCOMPARE(m.prompter.texts(),
             QStringList { QStringLiteral(
                 "データベースの接続に失敗しました。データベースが使用可能になってから再度実行してください。") });
    QVERIFY(m.prompter.problems().isEmpty());
}

void TestMainWindow::dialogsBelongToTheirWindow()
{
    // The program's real dialogs over a window, without the scripted answers.
    TestEnvironment env;
    QMainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    WidgetPrompter real;
    QString startedIn;
    QWidget* boxOwner = nullptr;
    // The user cancels the file dialog and reads the message with Enter.
    QTimer user;
    connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            startedIn = dialog->directory().absolutePath();
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxOwner = box->parentWidget();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    user.start(20);
    FileDialogRequest request;
    request.title = QStringLiteral("データベースの変更");
    request.directory = env.programDir();
    QVERIFY(!real.openFile(request));
    QCOMPARE(startedIn, env.programDir());
    // The window manager has not yet given the activation back to the window.
    QApplication::setActiveWindow(nullptr);
    real.notice(QStringLiteral("データベースの保存に失敗しました。"), Prompter::Icon::Information,
                QStringLiteral("Information"));
    QCOMPARE(boxOwner, &window);
}

KOTRINA_REGISTER_TEST(TestMainWindow)
#include "TestMainWindow.moc"
