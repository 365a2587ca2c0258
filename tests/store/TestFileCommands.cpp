#include "SampleData.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/files/DatabaseFiles.h"
#include "core/store/FileOps.h"
#include "core/store/NameIndex.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString InvalidName = QStringLiteral("ファイル名が不正です。");
const QString Overwrite = QStringLiteral("指定した名前のファイルが存在します。\r上書きしますか？");
const QString SaveFailed = QStringLiteral("データベースの保存に失敗しました。");
const QString ReopenFailed
    = QStringLiteral("データベースの接続に失敗しました。データベースが使用可能になってから再度実行してください。");
const QString InUse = QStringLiteral("データベースに接続してるユーザーがいます。");

// The main window as the file commands see it.
struct View final : FileCommandsView
{
    QString name, status, before, after;
    QString fileName() const override { return name; }
    void setFileName(const QString& text) override { name = text; }
    void showFileStatus(const QString& text) override { status = text; }
    void showSizeBefore(const QString& text) override { before = text; }
    void showSizeAfter(const QString& text) override { after = text; }
};

// The file commands on a fresh environment with one database open.
struct Files : TestSession
{
    View view;
    DatabaseFiles files { state, view };
    QString current;

    Files()
    {
        current = env.newDatabase(QStringLiteral("current.idb"));
        view.name = current;
        files.openAndRecord();
        prompter.clear();
    }

    // The open file, the box, the status line and the setting name the same file.
    void verifyNames(const QString& file) const
    {
        QVERIFY(state.ConnectionOpen);
        QCOMPARE(state.DatabaseConnection.fileName(), QFileInfo(file).absoluteFilePath());
        QCOMPARE(state.DatabaseFileName, file);
        QCOMPARE(view.name, file);
        QCOMPARE(view.status, file);
        QCOMPARE(settings.value(Setting::MDBFileName), file);
    }

    int lines() const { return rowCount(state.DatabaseConnection, Table::Tana); }
};

int linesIn(const QString& file)
{
    Database db;
    return db.open(file) ? rowCount(db, Table::Tana) : -1;
}

bool integrityOk(const QString& file)
{
    return onRawConnection(file, [](QSqlQuery& q) {
        return q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()
            && q.value(0).toString() == QLatin1String("ok");
    });
}

// Whether the name indexes list exactly the rows of their tables that hold a sample word.
bool nameIndexesAgree(const Database& db)
{
    if (!db.hasNameIndexes())
        return false;
    bool ok = true;
    for (Table t : { Table::Tana, Table::Shohin }) {
        for (const auto& [kind, word] : { std::pair(NameIndex::Kind::Trigrams, QStringLiteral("サンプ")),
                                          std::pair(NameIndex::Kind::ShortWords, QStringLiteral("サン")) }) {
            QSqlQuery q(db.connection());
            ok = ok
                && q.exec(QStringLiteral(R"(SELECT (SELECT count(*) FROM "%1" WHERE "%1" MATCH '"%3"'),
                    (SELECT count(*) FROM "%2" WHERE instr("品名", '%3') > 0))")
                              .arg(NameIndex::indexTable(t, kind), tableName(t), word))
                && q.next() && q.value(0).toInt() == q.value(1).toInt();
        }
    }
    return ok;
}

// Files of a directory other than the ones a test made on purpose: leftovers of a copy.
QStringList strayFiles(const QString& dir, const QStringList& expected)
{
    QStringList files = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : expected)
        files.removeAll(name);
    return files;
}

} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newDatabase();
    void openAnotherFile();
    void openTheTemplateMakesANewDatabase();
    void saveAs();
    void repairAndCompactShrinksTheFile();
    void repairRefusesDamagedOrBusyFiles();
    void readOnlyFileOpensForViewing();
    void failuresNameTheirCause();
    void salvageFromADamagedFile();
    void templateIsNeverATarget();
    void backupRefusesAStaleIndex();
    void fileSizeLimitIsReportedNotFatal();
    void deleteData_data();
    void deleteData();
    void fullDiskLeavesEverythingAsItWas();
    void killedMidwayLeavesTheOriginalIntact_data();
    void killedMidwayLeavesTheOriginalIntact();
};

void TestFileCommands::newDatabase()
{
    Files f;
    // Cancelled: nothing happens.
    f.prompter.answerFile(std::nullopt);
    f.files.newDatabase();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(f.current);

    // The template itself is no name for a new file.
    f.prompter.answerFile(f.env.paths().templatePath());
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(), QStringList { InvalidName });
    f.verifyNames(f.current);

    f.prompter.clear();
    const QString created = f.env.path(QStringLiteral("新しい店.idb"));
    f.prompter.answerFile(created);
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(), QStringList { QStringLiteral("新規に棚卸表データファイルを作成しました。") });
    f.verifyNames(created);
    QCOMPARE(f.state.DatabaseConnection.nextId(Table::Koumoku), 1);

    // Over an existing file: No changes nothing and keeps the open file open; Yes replaces it.
    const QString existing = f.env.newDatabase(QStringLiteral("existing.idb"));
    {
        Database db;
        QVERIFY(db.open(existing) && addSampleLines(db, 10));
    }
    f.prompter.clear();
    f.prompter.answerFile(existing);
    f.prompter.answerAsk(false);
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(), QStringList { Overwrite });
    f.verifyNames(created);
    QCOMPARE(linesIn(existing), 10);
    f.prompter.answerFile(existing);
    f.prompter.answerAsk(true);
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(),
             QStringList({ Overwrite, Overwrite, QStringLiteral("新規に棚卸表データファイルを作成しました。") }));
    f.verifyNames(existing);
    QCOMPARE(f.lines(), 0);
    QVERIFY(f.prompter.problems().isEmpty());

    // Without the template nothing is made and the open file stays.
    f.prompter.clear();
    QVERIFY(QFile::remove(f.env.paths().templatePath()));
    f.prompter.answerFile(f.env.path(QStringLiteral("new.idb")));
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY(f.prompter.texts()[0].startsWith(QStringLiteral("初期設定用のファイル（")));
    QVERIFY(!QFileInfo::exists(f.env.path(QStringLiteral("new.idb"))));
    f.verifyNames(existing);
}

void TestFileCommands::openAnotherFile()
{
    Files f;
    const QString other = f.env.newDatabase(QStringLiteral("other.idb"));
    f.prompter.answerFile(std::nullopt);
    f.view.name = QStringLiteral("typed over");
    f.files.open();
    QCOMPARE(f.view.name, f.current); // cancelling names the open file again
    QCOMPARE(f.prompter.shown()[0].file.directory, QFileInfo(f.current).absolutePath());

    // A file that is not ours is refused untouched; the one that was open stays open and remembered.
    f.prompter.clear();
    const QByteArray text = "品名\t数量\nりんご\t3\n";
    const QString notOurs = f.env.writeFile(QStringLiteral("list.idb"), text);
    f.prompter.answerFile(notOurs);
    f.files.open();
    QCOMPARE(f.prompter.texts(), QStringList { ReopenFailed });
    QCOMPARE(readAll(notOurs), text);
    f.verifyNames(f.current);

    f.prompter.clear();
    f.prompter.answerFile(other);
    f.files.open();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(other);

    // The backup: refused while there is none, opened once there is.
    f.files.openBackup();
    QCOMPARE(f.prompter.texts(), QStringList { ReopenFailed });
    f.verifyNames(other);
    const QString backup = f.env.paths().backupPath();
    QVERIFY(f.env.paths().ensureDataDir() && QFile::copy(f.current, backup));
    f.prompter.clear();
    f.files.openBackup();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(backup);
}

void TestFileCommands::openTheTemplateMakesANewDatabase()
{
    Files f;
    const QString templatePath = f.env.paths().templatePath();
    f.prompter.answerFile(templatePath);
    f.prompter.answerFile(templatePath);
    f.files.open();
    QCOMPARE(f.prompter.texts(),
             QStringList(
                 { QStringLiteral("現在、初期設定用のファイルが選択されていますので、新規にデータベースを作成します。"),
                   InvalidName }));
    f.verifyNames(f.current);

    f.prompter.clear();
    const QString created = f.env.path(QStringLiteral("fresh.idb"));
    f.prompter.answerFile(templatePath);
    f.prompter.answerFile(created);
    f.files.open();
    QCOMPARE(f.prompter.texts().last(), QStringLiteral("新規に棚卸表データファイルを作成しました。"));
    f.verifyNames(created);
}

void TestFileCommands::saveAs()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 25));
    const QByteArray original = readAll(f.current);
    // Refused: the open file's own name, a cancelled dialog, a folder that is not there.
    f.prompter.answerFile(f.current);
    f.files.saveAs();
    f.prompter.answerFile(std::nullopt);
    f.files.saveAs();
    f.prompter.answerFile(f.env.path(QStringLiteral("no/such/folder/copy.idb")));
    f.files.saveAs();
    QCOMPARE(f.prompter.texts(),
             QStringList({ InvalidName, SaveFailed,
                           SaveFailed
                               + QStringLiteral("\rフォルダ（%1）が見つかりません。")
                                     .arg(f.env.path(QStringLiteral("no/such/folder"))) }));
    f.verifyNames(f.current);
    QCOMPARE(readAll(f.current), original);

    f.prompter.clear();
    const QString copy = f.env.path(QStringLiteral("コピー 2026.idb"));
    f.prompter.answerFile(copy);
    f.files.saveAs();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(copy);
    QCOMPARE(f.lines(), 25);
    QCOMPARE(readAll(f.current), original);
    QVERIFY(strayFiles(f.env.root(), { QStringLiteral("current.idb"), QStringLiteral("コピー 2026.idb") }).isEmpty());

    // Over an existing file only after Yes.
    const QString existing = f.env.writeFile(QStringLiteral("existing.idb"), "keep me");
    f.prompter.clear();
    f.prompter.answerFile(existing);
    f.prompter.answerAsk(false);
    f.files.saveAs();
    QCOMPARE(readAll(existing), QByteArray("keep me"));
    f.verifyNames(copy);
    f.prompter.answerFile(existing);
    f.prompter.answerAsk(true);
    f.files.saveAs();
    f.verifyNames(existing);
    QCOMPARE(f.lines(), 25);

    // Without an open database the command does nothing at all.
    f.prompter.clear();
    f.state.DatabaseConnection.close();
    f.state.ConnectionOpen = false;
    f.files.saveAs();
    QVERIFY(f.prompter.shown().isEmpty());
}

void TestFileCommands::repairAndCompactShrinksTheFile()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 100000));
    QVERIFY(f.state.DatabaseConnection.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" % 10 <> 0)")));
    const qint64 before = QFileInfo(f.current).size();
    // A user's file under the name the compaction once used for its copy is left alone.
    const QString users = f.env.writeFile(QStringLiteral("CompactFileName.idb"), "the user's own file");

    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts(), QStringList { QStringLiteral("データベースを最適化しました。") });
    const qint64 after = QFileInfo(f.current).size();
    qInfo("compaction after deleting 90%% of 100000 lines: %lld -> %lld bytes", before, after);
    QVERIFY(after < before / 4);
    QCOMPARE(f.view.before, QStringLiteral("Old FileSize %1 byte").arg(before));
    QCOMPARE(f.view.after, QStringLiteral("New FileSize %1 byte").arg(after));
    f.verifyNames(f.current);
    QCOMPARE(f.lines(), 10000);
    QVERIFY(integrityOk(f.current));
    QCOMPARE(readAll(users), QByteArray("the user's own file"));
    QVERIFY(
        strayFiles(f.env.root(), { QStringLiteral("current.idb"), QStringLiteral("CompactFileName.idb") }).isEmpty());
}

void TestFileCommands::repairRefusesDamagedOrBusyFiles()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 2000));

    {
        const OtherProgramWriting other(f.current,
                                        { QStringLiteral("BEGIN IMMEDIATE"), QStringLiteral(R"(DELETE FROM "単位")") });
        QVERIFY(other.started());
        const QByteArray before = readAll(f.current);
        f.files.repairAndCompact();
        QCOMPARE(f.prompter.texts(), QStringList { InUse });
        QCOMPARE(readAll(f.current), before);
    }
    f.verifyNames(f.current); // work goes on with the file as it was

    // A damaged page: reported with the offer of a salvage, and the file is left as it was.
    f.state.DatabaseConnection.close();
    const QByteArray bytes = damageDataPage(f.current);
    QVERIFY(f.state.DatabaseConnection.open(f.current));
    f.prompter.clear();
    f.prompter.answerAsk(false);
    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY2(f.prompter.texts()[0].startsWith(DatabaseFiles::damageMessage()), qPrintable(f.prompter.texts()[0]));
    QCOMPARE(f.prompter.shown()[0].kind, ScriptedPrompter::Kind::Ask);
    QCOMPARE(readAll(f.current), bytes);
}

void TestFileCommands::readOnlyFileOpensForViewing()
{
    Files f;
    const QString shared = f.env.newDatabase(QStringLiteral("shared.idb"));
    {
        Database db;
        QVERIFY(db.open(shared) && addSampleLines(db, 12));
    }
    const QByteArray original = readAll(shared);
    WriteProtection protection(shared);
    if (!protection.isActive())
        QSKIP("the file system cannot make a file read-only here");

    f.prompter.answerFile(shared);
    f.files.open();
    const QString cause = QStringLiteral("ファイル（%1）は読み取り専用か、書き込む権限がありません。").arg(shared);
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY(
        f.prompter.texts()[0].startsWith(QStringLiteral("データベースファイルを読み取り専用で開きました。\r") + cause));
    f.verifyNames(shared);
    QCOMPARE(f.lines(), 12);

    // A change is refused with the reason, and the file stays as it was.
    f.prompter.clear();
    f.prompter.answerAsk(true);
    f.files.deleteData(QStringLiteral("棚卸表"));
    QCOMPARE(f.prompter.texts().last(),
             QStringLiteral("データを削除できませんでした。データベースは変更していません。\r") + cause);
    QCOMPARE(f.lines(), 12);

    // Saved somewhere writable, the copy is the user's to change.
    f.prompter.clear();
    const QString copy = f.env.path(QStringLiteral("mine.idb"));
    f.prompter.answerFile(copy);
    f.files.saveAs();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(copy);
    QVERIFY(!f.state.DatabaseConnection.isReadOnly());
    QCOMPARE(readAll(shared), original);
}

void TestFileCommands::failuresNameTheirCause()
{
    // Compaction in a folder that cannot be written is no matter of other users.
    Files f;
    const QString folder = QFileInfo(f.current).absolutePath();
    const QByteArray original = readAll(f.current);
    WriteProtection protection(folder);
    if (!protection.isActive())
        QSKIP("the file system cannot make a folder read-only here");
    f.files.repairAndCompact();
    const QString cause = QStringLiteral("フォルダ（%1）は読み取り専用か、書き込む権限がありません。").arg(folder);
    QCOMPARE(f.prompter.texts().last(), InUse + QLatin1Char('\r') + cause);
    QCOMPARE(readAll(f.current), original);
    // The file opens again, read-only, as the folder now allows.
    QVERIFY(f.prompter.texts()[0].startsWith(QStringLiteral("データベースファイルを読み取り専用で開きました。")));
    QVERIFY(f.state.DatabaseConnection.isReadOnly());

    f.prompter.clear();
    f.prompter.answerFile(f.env.path(QStringLiteral("new.idb")));
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(),
             QStringList { QStringLiteral("データベースファイルを作成できませんでした。\r") + cause });
}

void TestFileCommands::salvageFromADamagedFile()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 2000));
    QVERIFY(f.state.DatabaseConnection.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (1, '果物'))")));
    f.state.DatabaseConnection.close();
    const QByteArray damaged = damageDataPage(f.current);
    QVERIFY(f.state.DatabaseConnection.open(f.current));

    // Offered from the damage message; the rescued file is then opened on request.
    const QString rescued = f.env.path(QStringLiteral("救出.idb"));
    f.prompter.answerAsk(true);
    f.prompter.answerFile(rescued);
    f.prompter.answerAsk(true);
    f.files.reportDamage();
    QCOMPARE(f.prompter.texts().size(), 2);
    const QString report = f.prompter.texts()[1];
    const QStringList lines = report.split(QLatin1Char('\r'));
    QCOMPARE(lines[1], rescued);
    QVERIFY2(report.endsWith(QStringLiteral("救出したファイルを開きますか？")), qPrintable(report));
    f.verifyNames(rescued);
    QVERIFY(integrityOk(rescued));
    const int saved = f.lines();
    QVERIFY2(saved > 1000 && saved < 2000, qPrintable(report));
    // The index still knows how many lines there were, so the loss is counted exactly.
    QCOMPARE(lines[3], QStringLiteral("棚卸マスター：救出 %1 件、読めなかった行 %2 件").arg(saved).arg(2000 - saved));
    QCOMPARE(lines[4], QStringLiteral("項目分類：救出 2 件、読めなかった行 0 件"));
    QCOMPARE(rowCount(f.state.DatabaseConnection, Table::Shohin), 1000);
    // The template's triggers index every row copied into it.
    QVERIFY(nameIndexesAgree(f.state.DatabaseConnection));
    QCOMPARE(readAll(f.current), damaged);

    // Refused: the damaged file itself and the template as the target.
    f.prompter.clear();
    f.view.name = f.current;
    QVERIFY(f.files.openAndRecord());
    f.prompter.answerFile(f.current);
    f.files.salvage();
    f.prompter.answerFile(f.env.paths().templatePath());
    f.files.salvage();
    QCOMPARE(f.prompter.texts(), QStringList({ InvalidName, InvalidName }));
    QCOMPARE(readAll(f.current), damaged);
}

void TestFileCommands::templateIsNeverATarget()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 10));
    const QString templatePath = f.env.paths().templatePath();
    const QByteArray original = readAll(templatePath);
    f.prompter.answerFile(templatePath);
    f.files.saveAs();
    f.verifyNames(f.current);

    QVERIFY(f.files.openConnection(templatePath));
    f.state.DatabaseFileName = templatePath;
    f.files.repairAndCompact();
    f.files.deleteData(QStringLiteral("すべて選択"));
    QCOMPARE(f.prompter.texts(), QStringList({ InvalidName, InvalidName, InvalidName }));
    QCOMPARE(readAll(templatePath), original);
}

void TestFileCommands::deleteData_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("remaining"); // lines, categories, products, units
    QTest::newRow("all") << QStringLiteral("すべて選択") << QStringLiteral("すべて選択を削除しました。")
                         << QList<int> { 0, 1, 0, 0 };
    QTest::newRow("lines") << QStringLiteral("棚卸表") << QStringLiteral("棚卸マスターを削除しました。")
                           << QList<int> { 0, 3, 1000, 1 };
    QTest::newRow("categories") << QStringLiteral("項目分類情報") << QStringLiteral("項目分類情報を削除しました。")
                                << QList<int> { 3000, 1, 1000, 1 };
    QTest::newRow("products") << QStringLiteral("品名情報") << QStringLiteral("品名情報を削除しました。")
                              << QList<int> { 3000, 3, 0, 1 };
    QTest::newRow("units") << QStringLiteral("数量単位情報") << QStringLiteral("数量単位情報を削除しました。")
                           << QList<int> { 3000, 3, 1000, 0 };
}

void TestFileCommands::deleteData()
{
    QFETCH(QString, item);
    QFETCH(QString, message);
    QFETCH(QList<int>, remaining);
    Files f;
    const Database& db = f.state.DatabaseConnection;
    QVERIFY(addSampleLines(db, 2000) && addSampleLines(db, 1000, QDate(2025, 3, 31)));
    QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (1, 'A'), (2, 'B'))")));

    f.prompter.answerAsk(false);
    f.files.deleteData(item);
    QCOMPARE(f.prompter.texts(),
             QStringList { QLatin1Char(' ') + item + QStringLiteral("を削除します。よろしいですか？") });
    QCOMPARE(rowCount(db, Table::Tana), 3000);

    f.prompter.clear();
    f.prompter.answerAsk(true);
    f.files.deleteData(item);
    QCOMPARE(f.prompter.texts().last(), message);
    const QList<int> counts = { rowCount(db, Table::Tana), rowCount(db, Table::Koumoku), rowCount(db, Table::Shohin),
                                rowCount(db, Table::Tani) };
    QCOMPARE(counts, remaining);
    if (remaining[1] == 1) {
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(QStringLiteral(R"(SELECT "項目ID", "項目分類名" FROM "項目分類")")) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(q.value(1).toString(), QStringLiteral("未区分"));
        // Emptying it again still leaves exactly the reserved row.
        f.prompter.answerAsk(true);
        f.files.deleteData(QStringLiteral("項目分類情報"));
        QCOMPARE(rowCount(db, Table::Koumoku), 1);
    }
    if (item == QLatin1String("品名情報")) {
        // Lines keep the product they referred to.
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "品名ID" > 0)")) && q.next());
        QCOMPARE(q.value(0).toInt(), 3000);
    }
    // The name indexes list exactly the rows of their tables, also after new rows.
    QVERIFY(nameIndexesAgree(db));
    QVERIFY(addSampleLines(db, 10, QDate(2027, 3, 31)));
    QVERIFY(nameIndexesAgree(db));
}

void TestFileCommands::fullDiskLeavesEverythingAsItWas()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 30000));
    QVERIFY(f.state.DatabaseConnection.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" % 3 = 0)")));
    const QByteArray original = readAll(f.current);
    QVERIFY(original.size() > 1 << 20);
    const QString copy = f.env.path(QStringLiteral("copy.idb"));
    {
        FileSizeLimit full(256 * 1024);
        f.prompter.answerFile(copy);
        f.files.saveAs();
        QVERIFY(!FileOps::copyFileAtomically(f.current, copy));
        f.files.repairAndCompact();
    }
    QCOMPARE(f.prompter.texts(), QStringList({ SaveFailed, InUse }));
    QCOMPARE(readAll(f.current), original);
    QVERIFY(!QFileInfo::exists(copy));
    QCOMPARE(strayFiles(f.env.root(), { QStringLiteral("current.idb") }), QStringList());
    f.verifyNames(f.current);
}

void TestFileCommands::backupRefusesAStaleIndex()
{
    TestEnvironment env;
    const QString file = env.newDatabase();
    {
        Database db;
        QVERIFY(db.open(file) && addSampleLines(db, 500));
    }
    const QString backup = env.writeFile(QStringLiteral("backup.idb"), "last good backup");
    QCOMPARE(FileOps::backupDatabase(file, backup).status, FileOps::FileCheck::Status::Sound);
    const QByteArray good = readAll(backup);

    // The quick check passes such a file; the copy of it is refused all the same.
    QVERIFY(!staleDateIndex(file).isEmpty());
    QCOMPARE(FileOps::quickCheck(file).status, FileOps::FileCheck::Status::Sound);
    const FileOps::FileCheck result = FileOps::backupDatabase(file, backup);
    QCOMPARE(result.status, FileOps::FileCheck::Status::Damaged);
    QVERIFY2(result.detail.contains(QStringLiteral("missing from index")), qPrintable(result.detail));
    QCOMPARE(readAll(backup), good);
    QCOMPARE(strayFiles(env.root(), { QStringLiteral("shop.idb"), QStringLiteral("backup.idb") }), QStringList());
}

void TestFileCommands::fileSizeLimitIsReportedNotFatal()
{
    TestEnvironment env;
    const QString file = env.newDatabase();
    {
        Database db;
        QVERIFY(db.open(file) && addSampleLines(db, 20000));
    }
    const QByteArray original = readAll(file);
    // The child starts with the signal's default action, as a program started from a shell does.
    QProcess child;
    child.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_DFL);
        rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 256 * 1024;
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    for (const QString& operation : { QStringLiteral("saveas"), QStringLiteral("copy") }) {
        child.start(QStringLiteral(KOTRINA_FILEOP_CHILD), { operation, file, env.path(QStringLiteral("copy.idb")) });
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("failed"));
        QCOMPARE(readAll(file), original);
        QCOMPARE(strayFiles(env.root(), { QStringLiteral("shop.idb") }), QStringList());
    }
}

void TestFileCommands::killedMidwayLeavesTheOriginalIntact_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("compact") << QStringLiteral("compact");
    QTest::newRow("save as") << QStringLiteral("saveas");
    QTest::newRow("copy") << QStringLiteral("copy");
}

void TestFileCommands::killedMidwayLeavesTheOriginalIntact()
{
    QFETCH(QString, operation);
    TestEnvironment env;
    const QString pristine = env.newDatabase(QStringLiteral("pristine.idb"));
    {
        Database db;
        QVERIFY(db.open(pristine) && addSampleLines(db, 100000));
        QVERIFY(db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "ID" % 2 = 0)")));
    }
    const QString file = env.path(QStringLiteral("shop.idb"));
    const QString target = env.path(QStringLiteral("target.idb"));
    int interrupted = 0;
    for (int delay : { 10, 40, 100, 250 }) {
        QFile::remove(file);
        QFile::remove(target);
        QVERIFY(QFile::copy(pristine, file));
        QProcess child;
        child.start(QStringLiteral(KOTRINA_FILEOP_CHILD), { operation, file, target });
        QVERIFY(child.waitForStarted());
        QTest::qSleep(delay);
        if (child.state() == QProcess::Running) {
            ++interrupted;
            child.kill();
        }
        child.waitForFinished();
        QVERIFY2(integrityOk(file), qPrintable(QStringLiteral("after %1 ms").arg(delay)));
        QCOMPARE(linesIn(file), 50000);
        // What the killed run left is recognised as its own and nothing else is taken.
        FileOps::removeLeftovers(env.root());
        const QStringList expected
            = { QStringLiteral("pristine.idb"), QStringLiteral("shop.idb"), QStringLiteral("target.idb") };
        QCOMPARE(strayFiles(env.root(), expected), QStringList());
        // A target is there only when it is complete.
        if (QFileInfo::exists(target))
            QCOMPARE(operation == QLatin1String("copy") ? readAll(target).size() : linesIn(target),
                     operation == QLatin1String("copy") ? readAll(file).size() : 50000);
    }
    qInfo("%d of 4 runs interrupted", interrupted);
    QVERIFY2(interrupted > 0, "no run was interrupted; the data is too small to tell");
}

KOTRINA_REGISTER_TEST(TestFileCommands)
#include "TestFileCommands.moc"
