// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ImportData.h"
#include "MainWindowTest.h"
#include "SampleData.h"
#include "TestRegistry.h"
#include "core/app/SettingsFile.h"
#include "core/files/DatabaseFiles.h"
#include "gui/imports/ImportForms.h"

#include <QDialog>
#include <QDir>
#include <QProcess>

namespace {

const QString BackupQuestion = u"開いているのはバックアップファイル（%1）です。\r"
                               "ほかのファイルを開いて終了すると、新しいバックアップに置き換わります"
                               "（ここで変更した内容は、日付を付けた名前で残ります）。\r"
                               "名前を付けて保存して、保存したファイルに入力しますか？"_qs;
const QString DateQuestion = u"入力する棚卸の決算日は、2026/03/31です。よろしいですか。"_qs;
const QString BackupFailed = u"データベースのバックアップに失敗しました。"_qs;
const QString KeptChanged = u"前回のバックアップは作成された後に変更されていたため、次の名前で残しました。\r"_qs;

// Runs of the program one after the other on the same data folder and settings.
struct Runs : MainWindow
{
    QString backup() const { return env.paths().backupPath(); }
    // Ends the running program through its close button and starts it again on file; what
    // the close said.
    QStringList closeAndStart(const QString& file)
    {
        const qsizetype before = prompter.texts().size();
        trigger("Command2");
        const QStringList said = prompter.texts().mid(before);
        window.reset();
        prompter.clear();
        start(file);
        return said;
    }
    QStringList dataFiles() const { return QDir(env.dataDir()).entryList({ u"*.idb"_qs }, QDir::Files); }
};

QStringList productsOf(const QString& file)
{
    Database db;
    if (!db.open(file, nullptr, Database::Access::ReadOnly))
        return { u"cannot open "_qs + file };
    return rows(db, uR"(SELECT "品名" FROM "棚卸マスター" ORDER BY "ID")"_qs);
}

} // namespace

// What happens to the backup copy when the user works in it, and what the close says of it.
class TestBackupWork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void workInTheBackupOutlivesTheNextClose();
    void closingSaysWhatFailed();
};

void TestBackupWork::workInTheBackupOutlivesTheNextClose()
{
    Runs m;
    const QString shop = m.env.newDatabase();
    m.start(shop);
    m.addLine(shop);
    QCOMPARE(m.closeAndStart(shop), QStringList()); // the first backup, without a word

    // Opened, and saved under a name of the user's before an import: the import goes into the
    // file saved, and the backup, only looked at, is replaced at the close without a word.
    const QByteArray written = readAll(m.backup());
    m.trigger("mnuBackupOpen");
    m.env.writeFile(mappingPath(m.env.paths(), ImportKind::Lines),
                    "分類\r\n1\r\n品名\r\n2\r\n数\r\n3\r\n単位\r\n4\r\n単価\r\n5\r\n金額\r\n6\r\n\r\n0\r\n");
    const QString data
        = m.env.writeFile(u"棚卸.txt"_qs, "分類\t品名\t数\t単位\t単価\t金額\r\n\tなし\t2\t個\t50\t100\r\n");
    m.modals.steps[u"DialogExcelA"_qs] = [&](QDialog* dialog) {
        m.prompter.answerFile(data);
        dialog->findChild<QPushButton*>(u"Command2"_qs)->click();
        for (int asked = 0; asked < 3; ++asked)
            m.prompter.answerAsk(true);
        dialog->findChild<QPushButton*>(u"Command1"_qs)->click();
    };
    const QString mine = m.env.path(u"mine.idb"_qs);
    m.prompter.answerAsk(true);
    m.prompter.answerFile(mine);
    m.trigger("Command5");
    QTRY_COMPARE(m.modals.screens, QStringList { u"DialogExcelA"_qs });
    QCOMPARE(m.prompter.texts().constFirst(), BackupQuestion.arg(m.backup()));
    QCOMPARE(m.prompter.shown()[1].file.title, u"名前を付けて保存"_qs);
    QCOMPARE(m.fileNames(), QStringList(3, mine));
    QCOMPARE(productsOf(mine), QStringList({ u"りんご"_qs, u"なし"_qs }));
    QCOMPARE(readAll(m.backup()), written);
    QCOMPARE(m.closeAndStart(shop), QStringList());
    QCOMPARE(productsOf(m.backup()), QStringList({ u"りんご"_qs, u"なし"_qs }));
    QCOMPARE(m.dataFiles(), QStringList { u"BackupKotrina.idb"_qs });

    // Lines typed into the opened backup: said once, before the entry screen opens.
    m.trigger("mnuBackupOpen");
    m.prompter.answerAsk(true);
    m.prompter.answerAsk(false);
    m.trigger("Command17");
    auto* entry = m.window->findChild<QWidget*>(u"frmTana"_qs);
    QVERIFY(entry);
    entry->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(entry));
    for (const QString& field : { u"食品"_qs, u"みかん"_qs, u"箱"_qs, u"2"_qs, u"80"_qs, u"棚B"_qs }) {
        ScreenTest::type(QApplication::focusWidget(), field);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ScreenTest::settle();
    }
    QTest::mouseClick(entry->findChild<QPushButton*>(u"cmdSubAdd"_qs), Qt::LeftButton);
    m.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m.window.get()));
    m.prompter.answerAsk(true);
    m.trigger("Command17");
    QCOMPARE(m.prompter.texts(), QStringList({ DateQuestion, BackupQuestion.arg(m.backup()), DateQuestion }));
    QCOMPARE(productsOf(m.backup()), QStringList({ u"りんご"_qs, u"なし"_qs, u"みかん"_qs }));
    // Opened again, it is said again, before an import as well.
    entry->close();
    m.prompter.clear();
    m.trigger("mnuBackupOpen");
    m.prompter.answerAsk(false);
    m.trigger("Command5");
    QCOMPARE(m.prompter.texts(), QStringList { BackupQuestion.arg(m.backup()) });
    QCOMPARE(m.modals.screens, QStringList(2, u"DialogExcelA"_qs));

    // Another file opened, the close keeps the changed backup under its dated name and says so;
    // the backup made then is replaced without a word.
    m.prompter.answerFile(shop);
    m.trigger("mnuOpen");
    const QString kept = m.env.dataDir() + u"/BackupKotrina-"_qs
        + QFileInfo(m.backup()).lastModified().toString(u"yyyyMMdd-HHmmss") + u".idb"_qs;
    QCOMPARE(m.closeAndStart(shop), QStringList { KeptChanged + kept });
    QCOMPARE(productsOf(kept), QStringList({ u"りんご"_qs, u"なし"_qs, u"みかん"_qs }));
    QCOMPARE(productsOf(m.backup()), QStringList { u"りんご"_qs });
    QCOMPARE(m.closeAndStart(shop), QStringList());
    QCOMPARE(m.dataFiles(), QStringList({ QFileInfo(kept).fileName(), u"BackupKotrina.idb"_qs }));

    // Changed by another program, it is kept all the same.
    QProcess sqlite;
    sqlite.start(u"sqlite3"_qs, { m.backup(), uR"(UPDATE "棚卸マスター" SET "品名" = 'ぶどう')"_qs });
    QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);
    const QStringList said = m.closeAndStart(shop);
    QVERIFY(said.size() == 1 && said[0].startsWith(KeptChanged));
    QCOMPARE(productsOf(said[0].mid(KeptChanged.size())), QStringList { u"ぶどう"_qs });

    // A backup of which nothing was recorded (an earlier version's) is kept too, with a word
    // that the program could not tell.
    m.settings.write(u"Settings"_qs, u"BackupStamp"_qs, QString());
    QFile backup(m.backup());
    QVERIFY(backup.open(QIODevice::ReadWrite)
            && backup.setFileTime(QDateTime(QDate(2026, 3, 30), QTime(18, 5, 9)), QFileDevice::FileModificationTime));
    backup.close();
    const QString unknown = m.env.dataDir() + u"/BackupKotrina-20260330-180509.idb"_qs;
    m.trigger("Command2");
    QCOMPARE(m.prompter.texts(),
             QStringList { u"前回のバックアップが作成された後に変更されたかどうかを確かめられないため、"
                           "次の名前で残しました。\r"_qs
                           + unknown });
    QCOMPARE(productsOf(unknown), QStringList { u"りんご"_qs });
    QCOMPARE(m.dataFiles().size(), 4);
}

void TestBackupWork::closingSaysWhatFailed()
{
    // A settings file that cannot be written is said to be that; the backup was made.
    {
        Runs m;
        const QString shop = m.env.newDatabase();
        m.settings.setValue(Setting::FDate, u"2026/03/31"_qs);
        m.start(shop);
        m.addLine(shop);
        const WriteProtection protection(m.settings.fileName());
        QVERIFY(protection.isActive());
        m.trigger("Command2");
        QCOMPARE(m.prompter.texts().size(), 1);
        QVERIFY2(m.prompter.texts()[0].startsWith(SettingsFile::writeProblem(m.settings.fileName())),
                 qPrintable(m.prompter.texts()[0]));
        QCOMPARE(productsOf(m.backup()), QStringList { u"りんご"_qs });
    }
    // One that cannot be read is said to be that at the start.
    {
        Runs m;
        QVERIFY(QDir().mkpath(m.env.settingsFile()));
        m.start(m.env.newDatabase());
        QCOMPARE(m.prompter.texts(),
                 QStringList { u"設定ファイル（%1）を読み込めませんでした。前回の設定を使わずに起動します。"_qs.arg(
                     m.settings.fileName()) });
    }
    // The picture that cannot be shown is named at the start.
    {
        Runs m;
        const QString gone = m.env.path(u"写真/店.png"_qs);
        m.settings.setValue(Setting::PictureFile, gone);
        m.start(m.env.newDatabase());
        QCOMPARE(m.prompter.shown()[0].title, u"入力事項の確認"_qs);
        QCOMPARE(m.prompter.texts(), QStringList { u"画像ファイル（%1）が見つかりません。"_qs.arg(gone) });
    }
    // A damaged file makes no backup; the last one is said to be kept only when there is one.
    {
        Runs m;
        const QString file = sampleDatabase(m.env, 2000);
        QVERIFY(!damageDataPage(file).isEmpty());
        m.prompter.answerAsk(false); // no salvage
        m.start(file);
        QTRY_COMPARE(m.prompter.texts().size(), 1);
        m.prompter.clear();
        m.trigger("Command2");
        QCOMPARE(m.prompter.texts(), QStringList { BackupFailed + u"\r"_qs + DatabaseFiles::damageMessage() });
        QVERIFY(m.dataFiles().isEmpty());
    }
}

KOTRINA_REGISTER_TEST(TestBackupWork)
#include "TestBackupWork.moc"
