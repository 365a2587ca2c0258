// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "core/files/DatabaseFiles.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QMainWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTableView>
#include <QTreeView>

namespace {

const QString GuidanceStopped = u"現在、初期設定用のファイルが選択されていますので、一旦処理を中止します。"_qs;
const QString LoadFailed = u"データベースの接続に失敗しました。ファイル名を変更してください。"_qs;

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstRunCreatesDatabase_data();
    void firstRunCreatesDatabase();
    void startingOnAFile_data();
    void startingOnAFile();
    void positionsOffEveryScreenComeBack();
    void readOnlyFileIsShownNotChanged();
    void dialogsBelongToTheirWindow();
    void waysToTheLineScreens();
    void settlementDateConfirmation();
    void pictureReplacementAndReset();
    void closingSavesSettingsAndBackup();
    void damagedFileKeepsTheGoodBackup();
    void closingWhileAnotherProgramWrites();
    void leftoversGoAndTheOpenBackupStays();
    void fileCommandsAreWired();
    void aCopyInstalledIntoAnyPrefixFindsItsIcon();
};

void TestMainWindow::firstRunCreatesDatabase_data()
{
    QTest::addColumn<int>("answer"); // -1: the dialog cancelled; 0: No, 1: Yes to replacing the file chosen
    QTest::newRow("cancelled") << -1;
    QTest::newRow("existing file, overwrite") << 1;
    QTest::newRow("existing file, keep it") << 0;
}

void TestMainWindow::firstRunCreatesDatabase()
{
    QFETCH(int, answer);
    MainWindow m;
    const QString chosen = m.env.writeFile(u"店の棚卸 2026.idb"_qs, "old");
    m.prompter.answerFile(answer < 0 ? std::nullopt : std::optional(chosen));
    if (answer >= 0)
        m.prompter.answerAsk(answer == 1);
    m.start();
    QCOMPARE(m.prompter.shown()[0].file.directory, QDir::homePath()); // never the program's own folder
    QCOMPARE(m.modals.tips.size(), 1);

    QStringList expected;
    if (answer >= 0)
        expected << u"指定した名前のファイルが存在します。\r上書きしますか？"_qs;
    expected << (answer == 1 ? u"棚卸表データファイルを作成しました。決算日を入力してください。"_qs : GuidanceStopped);
    QCOMPARE(m.prompter.texts(), expected);
    QVERIFY(m.prompter.problems().isEmpty());
    if (answer != 1) {
        QVERIFY(!m.window->isVisible());
        QCOMPARE(m.panel1(), m.env.paths().templatePath());
        QCOMPARE(readAll(chosen), QByteArray("old"));
        // The empty template never replaces a backup.
        QVERIFY(!QFileInfo::exists(m.env.paths().backupPath()));
        return;
    }
    QVERIFY(m.window->isVisible());
    QCOMPARE(m.state.DatabaseConnection.fileName(), chosen);
    QCOMPARE(m.fileNames(), QStringList(3, chosen));
    QCOMPARE(m.window->focusWidget(), m.find<QWidget>("DTPicker1"));

    // The guidance is shown once per run.
    m.window->activateWindow();
    ScreenTest::settle();
    QCOMPARE(m.modals.tips.size(), 1);
}

void TestMainWindow::startingOnAFile_data()
{
    QTest::addColumn<QString>("file"); // "given", "gone", "no template"
    QTest::addColumn<QStringList>("messages"); // with %1 for the file named
    QTest::newRow("given wins over remembered") << u"given"_qs << QStringList();
    QTest::newRow("remembered file gone")
        << u"gone"_qs << QStringList { LoadFailed + u"\rファイル（%1）が見つかりません。"_qs };
    QTest::newRow("template missing") << QStringLiteral(
        "no template") << QStringList({ LoadFailed, u"初期設定用のファイル（%1）が見つかりません。"_qs });
}

void TestMainWindow::startingOnAFile()
{
    QFETCH(QString, file);
    QFETCH(QStringList, messages);
    MainWindow m;
    const QString backup = m.env.writeFile(u"home/BackupKotrina.idb"_qs, "last good backup");
    QString named = m.env.newDatabase(u"remembered.idb"_qs);
    m.settings.setValue(Setting::MDBFileName, named);
    QString given;
    if (file == QLatin1String("given"))
        given = named = m.env.newDatabase(u"given.idb"_qs);
    else if (file == QLatin1String("gone"))
        m.settings.setValue(Setting::MDBFileName, named = m.env.path(u"moved away.idb"_qs));
    else if (QFile::remove(named = m.env.paths().templatePath()))
        m.settings.setValue(Setting::MDBFileName, QString());
    m.start(given);
    for (QString& message : messages)
        message.replace(u"%1"_qs, named);
    QCOMPARE(m.prompter.texts(), messages);
    QCOMPARE(m.state.ConnectionOpen, messages.isEmpty());
    QVERIFY(m.window->isVisible());
    QVERIFY(m.modals.tips.isEmpty());
    if (messages.isEmpty()) {
        QCOMPARE(m.state.DatabaseConnection.fileName(), named);
        QCOMPARE(m.panel1(), named);
    } else if (file == QLatin1String("no template")) {
        // An existing file can still be opened.
        m.prompter.clear();
        m.prompter.answerFile(m.env.newDatabase(u"other.idb"_qs));
        m.trigger("mnuOpen");
        QVERIFY(m.prompter.texts().isEmpty());
        QVERIFY(m.state.ConnectionOpen);
    } else {
        // The last backup is not touched, and no failure is claimed at close.
        m.window->close();
        QCOMPARE(readAll(backup), QByteArray("last good backup"));
        QCOMPARE(m.prompter.texts(), messages);
    }
}

void TestMainWindow::positionsOffEveryScreenComeBack()
{
    MainWindow m;
    m.settings.setValue(Setting::MainLeft, u"-3000000"_qs);
    m.settings.setValue(Setting::MainTop, u"99999999"_qs);
    m.settings.setValue(Setting::frmLeft, u"60000"_qs); // right of an 800 pixel screen
    m.settings.setValue(Setting::frmTop, u"1500"_qs);
    m.start(m.env.newDatabase());
    const QRect screen = m.window->screen()->availableGeometry();
    QVERIFY(screen.contains(m.window->geometry().topLeft()));

    m.trigger("mnuPreTana");
    auto* entry = m.window->findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry && entry->isVisible());
    QVERIFY(screen.contains(entry->geometry().topLeft()));
    QVERIFY(entry->x() > 0);
    // The height that was on the screen is kept.
    QCOMPARE(entry->y(), 1500 * entry->logicalDpiY() / 1440);

    // Closed while minimized, the window writes no position of its own.
    m.window->showMinimized();
    ScreenTest::settle();
    m.window->close();
    Settings stored(m.env.settingsFile(), m.clock);
    QCOMPARE(QStringList({ stored.value(Setting::MainLeft), stored.value(Setting::frmTop) }),
             QStringList({ "-3000000", "1500" }));
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
    QVERIFY(m.window->windowTitle().endsWith(u"（読み取り専用）"_qs));
    for (const char* name :
         { "Command17", "Command22", "Command58", "Combo3", "Command28", "Command33", "Command24", "Command5" })
        QVERIFY2(!m.find<QWidget>(name)->isEnabled(), name);
    for (const char* name : { "mnuPreTana", "mnuInportA", "mnuInportB", "mnuKakutei", "mnuKakuteiTorikeshi" })
        QVERIFY2(!m.find<QAction>(name)->isEnabled(), name);
    // What only reads stays: checking a finalisation and saving the sheet filed.
    for (const char* name : { "mnuKakuteiKakunin", "mnuKakuteiHozon" })
        QVERIFY2(m.find<QAction>(name)->isEnabled(), name);
    // The count can still be looked at.
    m.trigger("Command19");
    QCOMPARE(m.modals.screens, QStringList { u"frmInAmd2"_qs });
}

void TestMainWindow::waysToTheLineScreens()
{
    // Every way to a screen of the lines says there are none, then opens it once there is one.
    const QStringList controls = { u"Command19"_qs,  u"Command21"_qs, u"Command3"_qs, u"Command4"_qs,
                                   u"mnuTanaAmd"_qs, u"mnuList"_qs,   u"mnuList2"_qs, u"mnuTanaMoto"_qs };
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    for (const QString& control : controls)
        m.trigger(control.toLatin1().constData());
    QCOMPARE(m.prompter.texts(),
             QStringList(4, u"現在、該当する棚卸はありません。"_qs)
                 + QStringList(4, u"現在、該当する棚卸表はありません。"_qs));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    m.prompter.clear();
    m.addLine(file);
    for (const QString& control : controls)
        m.trigger(control.toLatin1().constData());
    QVERIFY(m.prompter.texts().isEmpty());
    QCOMPARE(m.modals.screens,
             QStringList({ u"frmInAmd2"_qs, u"DialogTanaMoto1"_qs, u"frmList"_qs, u"DialogTanaMoto2"_qs,
                           u"frmInAmd2"_qs, u"frmList"_qs, u"DialogTanaMoto2"_qs, u"DialogTanaMoto1"_qs }));

    // By keyboard, and in the list the category totals chosen from the combo's pop-up.
    QStringList totals;
    const auto readTotals = [&](QDialog* list) {
        QVERIFY(ScreenTest::chooseFromList(list->findChild<QComboBox*>(u"Combo1"_qs), u"項目/分類別集計表"_qs));
        const QAbstractItemModel* rows = list->findChild<QTableView*>(u"dgdSub"_qs)->model();
        for (int r = 0; r < rows->rowCount(); ++r)
            totals << rows->index(r, 1).data().toString() + QLatin1Char(' ') + rows->index(r, 2).data().toString();
    };
    m.modals.steps[u"frmList"_qs] = readTotals;
    QTest::keyClick(m.window.get(), Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE(m.modals.screens.mid(8), QStringList { u"frmList"_qs }); // a mnemonic clicks after a moment
    QCOMPARE(totals, QStringList { u"未区分 100"_qs });

    // The menu: Alt+S opens 棚卸表(&S), D takes 棚卸集計表(&D), the same list.
    m.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
    QTest::keyClick(m.window.get(), Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_D);
    QTRY_COMPARE(m.modals.screens.mid(8), QStringList(2, u"frmList"_qs));
    QVERIFY(m.prompter.texts().isEmpty());
}

void TestMainWindow::settlementDateConfirmation()
{
    MainWindow m;
    m.settings.setValue(Setting::FDate, u"2025/09/30"_qs);
    m.start(m.env.newDatabase());
    auto* date = m.find<QDateEdit>("DTPicker1");
    // Enter moves to the next control, on a button too without pressing it.
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Return);
    ScreenTest::settle();
    QCOMPARE(QApplication::focusWidget(), m.find<QWidget>("Command17"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    ScreenTest::settle();
    QCOMPARE(QApplication::focusWidget(), m.find<QWidget>("Command19"));
    QVERIFY(m.prompter.shown().isEmpty());

    // A one-digit month typed with its slash lands in the month, not the day.
    ScreenTest::typeDate(date, u"2026/3/31"_qs);
    QCOMPARE(date->date(), QDate(2026, 3, 31));
    // Today's date is confirmed before the entry screen opens.
    m.find<QPushButton>("Command2")->setFocus();
    m.prompter.answerAsk(false);
    m.trigger("Command17");
    QCOMPARE(m.prompter.texts(), QStringList { u"入力する棚卸の決算日は、2026/03/31です。よろしいですか。"_qs });
    QCOMPARE(QApplication::focusWidget(), date);

    QVERIFY(!m.window->findChild<QWidget*>(u"frmTana"_qs));

    // Another date is taken without a question, and the entry screen opens on it beside
    // the main window; the menu entry brings the same one forward.
    m.prompter.clear();
    ScreenTest::typeDate(date, u"2025/12/31"_qs);
    m.trigger("Command17");
    QVERIFY(m.prompter.shown().isEmpty());
    auto* entry = m.window->findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry && entry->isVisible());
    QCOMPARE(entry->findChild<QDateEdit*>(u"DTPicker1"_qs)->date(), QDate(2025, 12, 31));
    m.trigger("mnuPreTana");
    QCOMPARE(m.window->findChildren<QWidget*>(u"frmTana"_qs).size(), 1);
    // Closing the main window closes it too.
    m.window->close();
    QVERIFY(!entry->isVisible());
}

void TestMainWindow::pictureReplacementAndReset()
{
    MainWindow m;
    m.start(m.env.newDatabase());
    const QString notAPicture = m.env.writeFile(u"photo.png"_qs, "not a picture");
    m.prompter.answerFile(notAPicture);
    m.trigger("mnuPicLoad");
    QCOMPARE(m.prompter.texts(), QStringList { u"読み込めない形式のﾌｧｲﾙです。\r"_qs + notAPicture });
    QCOMPARE(m.state.PictureFile, notAPicture);

    // A real picture is shown; a cancelled dialog changes nothing.
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString picture = m.env.path(u"red.png"_qs);
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
    QCOMPARE(m.prompter.texts(), QStringList { u"設定を有効にするには、ｱﾌﾟﾘｹｰｼｮﾝを終了してください。"_qs });
    m.window->close();
    QCOMPARE(m.settings.value(Setting::PictureFile), QString());
}

void TestMainWindow::closingSavesSettingsAndBackup()
{
    // An unreadable setting takes its own default and costs none of the others.
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.settings.setValue(Setting::MDBFileName, file);
    m.settings.setValue(Setting::MainLeft, u"1 200"_qs);
    m.settings.setValue(Setting::MainTop, u"750"_qs);
    m.settings.setValue(Setting::FDate, u"2025/09/30"_qs);
    m.settings.setValue(Setting::PrinterName, u"事務所のプリンタ"_qs);
    m.settings.setValue(Setting::PrinterFont, u"ＭＳ ゴシック"_qs);
    m.start();
    QVERIFY(m.prompter.shown().isEmpty());
    QVERIFY(m.state.ConnectionOpen && m.state.DatabaseFileName == file);
    QCOMPARE(m.find<QDateEdit>("DTPicker1")->date(), QDate(2025, 9, 30));
    QCOMPARE(m.state.PrinterFont, u"ＭＳ ゴシック"_qs);
    QCOMPARE(m.window->x(), 0);
    m.addLine(file);
    ScreenTest::typeDate(m.find<QDateEdit>("DTPicker1"), u"2026/03/31"_qs);
    m.window->move(200, 100);

    m.trigger("Command2");
    QVERIFY(!m.window->isVisible());
    QVERIFY(m.prompter.shown().isEmpty());
    QVERIFY(!m.state.DatabaseConnection.isOpen());

    Settings stored(m.env.settingsFile(), m.clock);
    QCOMPARE(stored.value(Setting::FDate), u"2026/03/31"_qs);
    QCOMPARE(stored.value(Setting::PrinterName), u"事務所のプリンタ"_qs);
    QCOMPARE(stored.value(Setting::PrinterFont), u"ＭＳ ゴシック"_qs);
    const int dpi = m.window->logicalDpiX();
    QCOMPARE(stored.value(Setting::MainLeft), QString::number(m.window->x() * 1440 / dpi));
    QCOMPARE(stored.value(Setting::frmLeft), stored.value(Setting::MainLeft));
    QCOMPARE(stored.value(Setting::frmTop), stored.value(Setting::MainTop));

    // The backup is a copy that opens as a database with the line in it.
    Database backup;
    QVERIFY(backup.open(m.env.paths().backupPath()));
    QCOMPARE(backup.hasRows(Table::Tana), std::optional<bool>(true));
}

void TestMainWindow::damagedFileKeepsTheGoodBackup()
{
    MainWindow m;
    const QString file = sampleDatabase(m.env, 2000);
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
    const QString rescued = m.env.path(u"rescued.idb"_qs);
    m.prompter.answerFile(rescued);
    m.prompter.answerAsk(false);
    m.trigger("Command1");
    m.trigger("cmdSalvage");
    QVERIFY(QFileInfo::exists(rescued));
    QCOMPARE(m.state.DatabaseFileName, file);

    m.window->close();
    QCOMPARE(m.prompter.texts().last(),
             u"データベースのバックアップに失敗しました。\r"_qs + DatabaseFiles::damageMessage()
                 + u"前回のバックアップをそのまま残しました。"_qs);
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
    const QByteArray before = readAll(file);
    const OtherProgramWriting other(
        file,
        { u"PRAGMA cache_size = 5"_qs, u"BEGIN"_qs,
          uR"(WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
            INSERT INTO "棚卸マスター" ("ID", "日付", "品名") SELECT i, '2026-03-31', 'みかん' || i FROM n)"_qs });
    QVERIFY(other.started() && readAll(file) != before);
    m.window->close();
    QCOMPARE(readAll(backup), last);
    QCOMPARE(m.prompter.texts(),
             QStringList { QStringLiteral("データベースのバックアップに失敗しました。\r"
                                          "ほかのプログラムがファイルを使用中です。\r"
                                          "前回のバックアップをそのまま残しました。") });
}

void TestMainWindow::leftoversGoAndTheOpenBackupStays()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.env.paths().ensureDataDir();
    const QString backup = m.env.paths().backupPath();
    QVERIFY(QFile::copy(file, backup));
    // 999999999 is above any process id the system gives.
    const QStringList leftovers = {
        m.env.writeFile(u"home/.kotrina-tmp-999999999-1-BackupKotrina.idb"_qs, "copy"),
        m.env.writeFile(u"home/BackupKotrina.idb.Ab12Cd"_qs, "an earlier version's copy"),
        m.env.writeFile(u".kotrina-tmp-999999999-2-shop.idb"_qs, "compaction"),
    };
    const QStringList kept = {
        m.env.writeFile(u"home/BackupKotrina.idb.bak"_qs, "user's"),
        m.env.writeFile(u"CompactFileName.idb"_qs, "user's"),
        m.env.writeFile(u"shop.idb.Ab12Cd"_qs, "user's"),
        // A copy of the program at work on the same folder.
        m.env.writeFile(u".kotrina-tmp-%1-3-shop.idb"_qs.arg(QCoreApplication::applicationPid()), "busy"),
    };
    m.start(file);
    for (const QString& path : leftovers)
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    for (const QString& path : kept)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));

    // Closed with the backup open, the backup is not copied over itself.
    const QDateTime before = QFileInfo(backup).lastModified();
    QTest::qWait(20);
    m.trigger("mnuBackupOpen");
    QCOMPARE(m.state.DatabaseFileName, backup);
    m.window->close();
    QCOMPARE(QFileInfo(backup).lastModified(), before);
    QVERIFY(m.prompter.shown().isEmpty());
    QCOMPARE(QDir(m.env.dataDir()).entryList(QDir::Files),
             QStringList({ u"BackupKotrina.idb"_qs, u"BackupKotrina.idb.bak"_qs }));
}

void TestMainWindow::fileCommandsAreWired()
{
    MainWindow m;
    const QString file = m.env.newDatabase();
    m.start(file);
    m.addLine(file);

    const QString copy = m.env.path(u"写し.idb"_qs);
    m.prompter.answerFile(copy);
    m.trigger("mnuSave");
    QCOMPARE(m.fileNames(), QStringList(3, copy));

    // The repair frame starts hidden; both its commands toggle it.
    auto* frame = m.find<QFrame>("Frame8");
    QVERIFY(!frame->isVisible());
    m.trigger("Command1");
    QVERIFY(frame->isVisible());
    m.trigger("Command22");
    QVERIFY(!m.find<QLabel>("Label7")->text().isEmpty());
    m.trigger("mnuDatabaseRep");
    QVERIFY(!frame->isVisible());

    // An open entry screen follows what the file commands do to the database.
    m.trigger("mnuPreTana");
    auto* entry = m.window->findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry);
    auto* status = entry->findChild<QLineEdit*>(u"Text3"_qs);
    QCOMPARE(status->text(), u"Max Record 1   Total 100"_qs);
    m.addLine(copy);
    QVERIFY(ScreenTest::chooseFromList(m.find<QComboBox>("Combo3"), u"棚卸表"_qs));
    m.prompter.answerAsk(true);
    m.trigger("Command58");
    QCOMPARE(status->text(), u"Max Record 0   Total "_qs);
    QCOMPARE(m.prompter.texts().size(), 3); // compacted; asked; deleted
    QCOMPARE(m.state.DatabaseConnection.hasRows(Table::Tana), std::optional<bool>(false));

    m.prompter.clear();
    m.prompter.answerFile(std::nullopt);
    m.trigger("mnuOpen");
    m.trigger("mnuBackupOpen");
    QCOMPARE(m.fileNames(), QStringList(3, copy));
    QCOMPARE(m.prompter.texts().size(), 1); // no backup yet
    QVERIFY(m.prompter.problems().isEmpty());
}

void TestMainWindow::dialogsBelongToTheirWindow()
{
    // The program's real dialogs over a window, without the scripted answers.
    TestEnvironment env;
    QMainWindow window;
    ScreenTest::showActive(&window);
    WidgetPrompter real;
    QString startedIn;
    QWidget* boxOwner = nullptr;
    // The file dialog lists the files with their size, type and date, none of them cut short.
    int waited = 0;
    bool detailed = false;
    QStringList cut;
    QSize dialogSize;
    // The user cancels the file dialog and reads the message with Enter.
    QTimer user;
    connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            QAbstractItemView* details = dialog->findChild<QTreeView*>(u"treeView"_qs);
            const QHeaderView* header = static_cast<QTreeView*>(details)->header();
            cut.clear();
            for (int column = 1; column < header->count(); ++column) {
                if (header->sectionSize(column) < details->sizeHintForColumn(column))
                    cut << details->model()->headerData(column, Qt::Horizontal).toString();
            }
            // The folder is read, and the sizes and types filled in, a moment after the dialog shows.
            if ((details->model()->rowCount(details->rootIndex()) == 0 || !cut.isEmpty()) && ++waited < 100)
                return;
            startedIn = dialog->directory().absolutePath();
            detailed = details->isVisible();
            dialogSize = dialog->size();
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxOwner = box->parentWidget();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    user.start(20);
    FileDialogRequest request;
    request.title = u"データベースの変更"_qs;
    request.directory = env.programDir();
    QVERIFY(!real.openFile(request));
    QCOMPARE(startedIn, env.programDir());
    QVERIFY(detailed);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u" "_qs)));
    QVERIFY2(dialogSize.width() >= std::min(900, window.screen()->availableGeometry().width() * 9 / 10),
             qPrintable(QString::number(dialogSize.width())));
    // The window manager has not yet given the activation back to the window.
    QApplication::setActiveWindow(nullptr);
    real.notice(u"データベースの保存に失敗しました。"_qs, Prompter::Icon::Information, u"Information"_qs);
    QCOMPARE(boxOwner, &window);
}

void TestMainWindow::aCopyInstalledIntoAnyPrefixFindsItsIcon()
{
    TestEnvironment env;
    const QString prefix = env.path(u"prefix"_qs);
    const QString apps = prefix + u"/share/icons/hicolor/48x48/apps"_qs;
    QVERIFY(QDir().mkpath(apps) && QDir().mkpath(prefix + u"/bin"_qs));
    QImage picture(48, 48, QImage::Format_ARGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(apps + u"/kotrina.png"_qs));
    // The offscreen platform names no icon theme and searches no system folder, where a
    // desktop has hicolor with its index.
    QIcon::setThemeName(u"hicolor"_qs);
    QVERIFY(!env.writeFile(u"prefix/share/icons/hicolor/index.theme"_qs,
                           "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps\n[48x48/apps]\nSize=48\n")
                 .isEmpty());
    QVERIFY(!programIcon(prefix + u"/bin"_qs).isNull());
}

KOTRINA_REGISTER_TEST(TestMainWindow)
#include "TestMainWindow.moc"
