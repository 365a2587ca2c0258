// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SampleData.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "core/files/BackupKeeper.h"
#include "core/files/DatabaseFiles.h"
#include "core/store/FileOps.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

const QString InvalidName = u"ファイル名が不正です。"_qs;
const QString SaveFailed = u"データベースの保存に失敗しました。"_qs;
const QString ReopenFailed
    = u"データベースの接続に失敗しました。データベースが使用可能になってから再度実行してください。"_qs;
const QString InUse = u"データベースに接続してるユーザーがいます。"_qs;

// What long work told the one waiting for it: each step, each text, in order.
struct WorkSeen
{
    QString caption;
    QStringList texts;
    QList<std::pair<qint64, qint64>> steps;
    int cancelAt = -1; // the step at which the user cancels; never when -1
    bool shown = false; // the work took long enough to be shown

    // The steps' done never goes back nor beyond their total.
    bool forwardOnly() const
    {
        qint64 last = 0;
        for (const auto& [done, total] : steps) {
            if (done < last || (total > 0 && done > total))
                return false;
            last = done;
        }
        return true;
    }
};

// Long work as the window shows it: what it was told is recorded in seen.
struct RecordedWork final : LongWork
{
    explicit RecordedWork(WorkSeen& seen)
        : m_seen(seen)
    { }
    bool step(qint64 done, qint64 total) override
    {
        m_seen.steps.append({ done, total });
        return m_seen.cancelAt < 0 || m_seen.steps.size() <= m_seen.cancelAt;
    }
    void setText(const QString& text) override { m_seen.texts.append(text); }
    bool wasShown() const override { return m_seen.shown; }

private:
    WorkSeen& m_seen;
};

// The main window as the file commands see it.
struct View final : FileCommandsView
{
    QString name, status, before, after;
    WorkSeen work;
    QString fileName() const override { return name; }
    void setFileName(const QString& text) override { name = text; }
    void showFileStatus(const QString& text) override { status = text; }
    void showSizeBefore(const QString& text) override { before = text; }
    void showSizeAfter(const QString& text) override { after = text; }
    std::unique_ptr<LongWork> startWork(const QString& caption, const QString& text) override
    {
        work.caption = caption;
        work.texts.append(text);
        return std::make_unique<RecordedWork>(work);
    }
};

// What a backup or compaction told while it ran, and the answer it was given.
struct StepsSeen
{
    QList<FileOps::Stage> stages;
    QList<std::pair<qint64, qint64>> steps;
    bool cancel = false;

    FileOps::Progress progress()
    {
        FileOps::Progress p;
        p.step = [this](qint64 done, qint64 total) {
            steps.append({ done, total });
            return !cancel;
        };
        p.stage = [this](FileOps::Stage stage) { stages.append(stage); };
        return p;
    }
};

// The file commands on a fresh environment with one database open.
struct Files : TestSession
{
    View view;
    DatabaseFiles files { state, view };
    QString current;

    Files()
    {
        current = env.newDatabase(u"current.idb"_qs);
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

// Whether the name indexes list exactly the rows that hold a sample word: the products,
// and the distinct names (with product ID) of the lines.
bool nameIndexesAgree(const Database& db)
{
    QSqlQuery q(db.connection());
    bool ok = db.hasNameIndexes();
    for (Table t : { Table::Tana, Table::Shohin }) {
        const QString rows
            = t == Table::Shohin ? u"仕入商品"_qs : uR"((SELECT DISTINCT "品名", "品名ID" FROM "棚卸マスター"))"_qs;
        for (const auto& [kind, word] :
             { std::pair(NameIndex::Kind::Trigrams, u"サンプ"_qs), std::pair(NameIndex::Kind::ShortWords, u"サン"_qs) })
            ok = ok
                && q.exec(uR"(SELECT (SELECT count(*) FROM "%1" WHERE "%1" MATCH '"%3"'),
                    (SELECT count(*) FROM %2 WHERE instr("品名", '%3') > 0))"_qs.arg(NameIndex::indexTable(t, kind),
                                                                                     rows, word))
                && q.next() && q.value(0).toInt() == q.value(1).toInt();
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
    void newAndOpen();
    void saveAs();
    void repairAndCompactShrinksTheFile();
    void damagedOrBusyFiles();
    void readOnlyFilesAndFolders();
    void backupRefusesAStaleIndex();
    void fileSizeLimitIsReportedNotFatal();
    void aFileAnotherCopyHasOpenIsNotReplaced();
    void leftoversOfDeadRunsOnly();
    void aClaimGivenUpKeepsTheEnginesLocks();
    void deleteData_data();
    void deleteData();
    void killedMidwayLeavesTheOriginalIntact();
    void backupAndCompactionTellTheirProgressAndStop();
    void upgradeTellsItsProgressAndStops();
};

void TestFileCommands::newAndOpen()
{
    Files f;
    const QString templatePath = f.env.paths().templatePath();
    const QByteArray original = readAll(templatePath);
    // Cancelled: nothing happens.
    f.prompter.answerFile(std::nullopt);
    f.files.newDatabase();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(f.current);

    // The template opened makes a new database, under any name but its own.
    f.prompter.answerFile(templatePath);
    f.prompter.answerFile(templatePath);
    f.files.open();
    QCOMPARE(f.prompter.texts(),
             QStringList({ u"現在、初期設定用のファイルが選択されていますので、新規にデータベースを作成します。"_qs,
                           InvalidName }));
    f.verifyNames(f.current);
    f.prompter.clear();
    const QString created = f.env.path(u"新しい店.idb"_qs);
    f.prompter.answerFile(templatePath);
    f.prompter.answerFile(created);
    f.files.open();
    QCOMPARE(f.prompter.texts().last(), u"新規に棚卸表データファイルを作成しました。"_qs);
    f.verifyNames(created);

    // Save as, compaction and deletion never write to it.
    f.prompter.clear();
    f.prompter.answerFile(templatePath);
    f.files.saveAs();
    f.verifyNames(created);
    QVERIFY(f.files.openConnection(templatePath));
    f.state.DatabaseFileName = templatePath;
    f.files.repairAndCompact();
    f.files.deleteData(u"すべて選択"_qs);
    QCOMPARE(f.prompter.texts(), QStringList({ InvalidName, InvalidName, InvalidName }));
    QCOMPARE(readAll(templatePath), original);

    // Without the template nothing is made and the open file stays.
    f.view.name = created;
    QVERIFY(f.files.openAndRecord());
    f.prompter.clear();
    QVERIFY(QFile::remove(templatePath));
    f.prompter.answerFile(f.env.path(u"new.idb"_qs));
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY(f.prompter.texts()[0].startsWith(u"初期設定用のファイル（"_qs));
    QVERIFY(!QFileInfo::exists(f.env.path(u"new.idb"_qs)));
    f.verifyNames(created);

    // Opening another file: cancelled, the box names the open file again.
    f.prompter.clear();
    f.prompter.answerFile(std::nullopt);
    f.view.name = u"typed over"_qs;
    f.files.open();
    QCOMPARE(f.view.name, created);
    QCOMPARE(f.prompter.shown()[0].file.directory, QFileInfo(created).absolutePath());
    f.prompter.answerFile(f.current);
    f.files.open();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(f.current);

    // The backup: refused while there is none (the open file stays open), opened once there is.
    f.files.openBackup();
    QCOMPARE(f.prompter.texts(), QStringList { ReopenFailed });
    f.verifyNames(f.current);
    const QString backup = f.env.paths().backupPath();
    QVERIFY(f.env.paths().ensureDataDir() && QFile::copy(f.current, backup));
    f.prompter.clear();
    f.files.openBackup();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(backup);
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
    f.prompter.answerFile(f.env.path(u"no/such/folder/copy.idb"_qs));
    f.files.saveAs();
    QCOMPARE(
        f.prompter.texts(),
        QStringList({ InvalidName, SaveFailed,
                      SaveFailed + u"\rフォルダ（%1）が見つかりません。"_qs.arg(f.env.path(u"no/such/folder"_qs)) }));
    f.verifyNames(f.current);
    QCOMPARE(readAll(f.current), original);

    f.prompter.clear();
    const QString copy = f.env.path(u"コピー 2026.idb"_qs);
    f.prompter.answerFile(copy);
    f.files.saveAs();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(copy);
    QCOMPARE(f.lines(), 25);
    QCOMPARE(readAll(f.current), original);
    QVERIFY(strayFiles(f.env.root(), { u"current.idb"_qs, u"コピー 2026.idb"_qs }).isEmpty());

    // Over an existing file only after Yes.
    const QString existing = f.env.writeFile(u"existing.idb"_qs, "keep me");
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
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 20000));
    {
        // Deleted in bulk, so the deleted lines leave no history rows that would fill the file again.
        Transaction transaction(f.state.DatabaseConnection);
        HistoryTrail::BulkChange bulk(f.state.DatabaseConnection.connection());
        QVERIFY(f.state.DatabaseConnection.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" % 10 <> 0)"_qs));
        QVERIFY(bulk.finish(QString::fromUtf8(HistoryTrail::KindBulkDeleted), {}, u"{}"_qs));
        QVERIFY(transaction.commit());
    }
    const qint64 before = QFileInfo(f.current).size();
    // A user's file under the name the compaction once used for its copy is left alone.
    const QString users = f.env.writeFile(u"CompactFileName.idb"_qs, "the user's own file");

    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts(), QStringList { u"データベースを最適化しました。"_qs });
    const qint64 after = QFileInfo(f.current).size();
    qInfo("compaction after deleting 90%% of 20000 lines: %lld -> %lld bytes", before, after);
    QVERIFY(after < before / 4);
    QCOMPARE(f.view.before, u"Old FileSize %1 byte"_qs.arg(before));
    QCOMPARE(f.view.after, u"New FileSize %1 byte"_qs.arg(after));
    f.verifyNames(f.current);
    QCOMPARE(f.lines(), 2000);
    QVERIFY(integrityOk(f.current));
    // The names of the deleted lines are gone from the name indexes too.
    QVERIFY(nameIndexesAgree(f.state.DatabaseConnection));
    QCOMPARE(readAll(users), QByteArray("the user's own file"));
    QVERIFY(strayFiles(f.env.root(), { u"current.idb"_qs, u"CompactFileName.idb"_qs }).isEmpty());
}

void TestFileCommands::damagedOrBusyFiles()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 2000));
    QVERIFY(f.state.DatabaseConnection.exec(uR"(INSERT INTO "項目分類" VALUES (1, '果物'))"_qs));

    {
        const OtherProgramWriting other(f.current, { u"BEGIN IMMEDIATE"_qs, uR"(DELETE FROM "単位")"_qs });
        QVERIFY(other.started());
        const QByteArray before = readAll(f.current);
        f.files.repairAndCompact();
        QCOMPARE(f.prompter.texts(), QStringList { InUse });
        QCOMPARE(readAll(f.current), before);
    }
    f.verifyNames(f.current); // work goes on with the file as it was

    // A damaged page: compaction reports it with the offer of a salvage, and leaves the file as it was.
    f.state.DatabaseConnection.close();
    const QByteArray damaged = damageDataPage(f.current);
    QVERIFY(f.state.DatabaseConnection.open(f.current));
    f.prompter.clear();
    f.prompter.answerAsk(false);
    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY2(f.prompter.texts()[0].startsWith(DatabaseFiles::damageMessage()), qPrintable(f.prompter.texts()[0]));
    QCOMPARE(f.prompter.shown()[0].kind, ScriptedPrompter::Kind::Ask);
    QCOMPARE(readAll(f.current), damaged);

    // The salvage taken up from the damage message; the rescued file is then opened on request.
    f.prompter.clear();
    const QString rescued = f.env.path(u"救出.idb"_qs);
    f.prompter.answerAsk(true);
    f.prompter.answerFile(rescued);
    f.prompter.answerAsk(true);
    f.files.reportDamage();
    QCOMPARE(f.prompter.texts().size(), 2);
    const QString report = f.prompter.texts()[1];
    const QStringList lines = report.split(QLatin1Char('\r'));
    QCOMPARE(lines[1], rescued);
    QVERIFY2(report.endsWith(u"救出したファイルを開きますか？"_qs), qPrintable(report));
    f.verifyNames(rescued);
    QVERIFY(integrityOk(rescued));
    const int saved = f.lines();
    QVERIFY2(saved > 1000 && saved < 2000, qPrintable(report));
    // The index still knows how many lines there were, so the loss is counted exactly.
    QCOMPARE(lines[3], u"棚卸マスター：救出 %1 件、読めなかった行 %2 件"_qs.arg(saved).arg(2000 - saved));
    QCOMPARE(lines[4], u"項目分類：救出 2 件、読めなかった行 0 件"_qs);
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

void TestFileCommands::readOnlyFilesAndFolders()
{
    Files f;
    const QString shared = sampleDatabase(f.env, 12, u"shared.idb"_qs);
    const QByteArray original = readAll(shared);
    WriteProtection protection(shared);
    if (!protection.isActive())
        QSKIP("the file system cannot make a file read-only here");

    f.prompter.answerFile(shared);
    f.files.open();
    const QString cause = u"ファイル（%1）は読み取り専用か、書き込む権限がありません。"_qs.arg(shared);
    QCOMPARE(f.prompter.texts().size(), 1);
    QVERIFY(f.prompter.texts()[0].startsWith(u"データベースファイルを読み取り専用で開きました。\r"_qs + cause));
    f.verifyNames(shared);
    QCOMPARE(f.lines(), 12);

    // A change is refused with the reason, and the file stays as it was.
    f.prompter.clear();
    f.prompter.answerAsk(true);
    f.files.deleteData(u"棚卸表"_qs);
    QCOMPARE(f.prompter.texts().last(), u"データを削除できませんでした。データベースは変更していません。\r"_qs + cause);
    QCOMPARE(f.lines(), 12);

    // Saved somewhere writable, the copy is the user's to change.
    f.prompter.clear();
    const QString copy = f.env.path(u"mine.idb"_qs);
    f.prompter.answerFile(copy);
    f.files.saveAs();
    QVERIFY(f.prompter.texts().isEmpty());
    f.verifyNames(copy);
    QVERIFY(!f.state.DatabaseConnection.isReadOnly());
    QCOMPARE(readAll(shared), original);

    // Compaction in a folder that cannot be written is no matter of other users.
    const QString folder = QFileInfo(copy).absolutePath();
    const QByteArray saved = readAll(copy);
    WriteProtection folderProtection(folder);
    if (!folderProtection.isActive())
        QSKIP("the file system cannot make a folder read-only here");
    f.prompter.clear();
    f.files.repairAndCompact();
    const QString folderCause = u"フォルダ（%1）は読み取り専用か、書き込む権限がありません。"_qs.arg(folder);
    QCOMPARE(f.prompter.texts().last(), InUse + QLatin1Char('\r') + folderCause);
    QCOMPARE(readAll(copy), saved);
    // The file opens again, read-only, as the folder now allows.
    QVERIFY(f.prompter.texts()[0].startsWith(u"データベースファイルを読み取り専用で開きました。"_qs));
    QVERIFY(f.state.DatabaseConnection.isReadOnly());

    f.prompter.clear();
    f.prompter.answerFile(f.env.path(u"new.idb"_qs));
    f.files.newDatabase();
    QCOMPARE(f.prompter.texts(), QStringList { u"データベースファイルを作成できませんでした。\r"_qs + folderCause });
}

void TestFileCommands::deleteData_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("remaining"); // lines, categories, products, units
    QTest::newRow("all") << u"すべて選択"_qs << u"すべて選択を削除しました。"_qs << QList<int> { 0, 1, 0, 0 };
    QTest::newRow("lines") << u"棚卸表"_qs << u"棚卸マスターを削除しました。"_qs << QList<int> { 0, 3, 1000, 1 };
    QTest::newRow("categories") << u"項目分類情報"_qs << u"項目分類情報を削除しました。"_qs
                                << QList<int> { 3000, 1, 1000, 1 };
    QTest::newRow("products") << u"品名情報"_qs << u"品名情報を削除しました。"_qs << QList<int> { 3000, 3, 0, 1 };
    QTest::newRow("units") << u"数量単位情報"_qs << u"数量単位情報を削除しました。"_qs
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
    QVERIFY(db.exec(uR"(INSERT INTO "項目分類" VALUES (1, 'A'), (2, 'B'))"_qs));

    f.prompter.answerAsk(false);
    f.files.deleteData(item);
    QCOMPARE(f.prompter.texts(), QStringList { QLatin1Char(' ') + item + u"を削除します。よろしいですか？"_qs });
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
        QVERIFY(q.exec(uR"(SELECT "項目ID", "項目分類名" FROM "項目分類")"_qs) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        QCOMPARE(q.value(1).toString(), u"未区分"_qs);
        // Emptying it again still leaves exactly the reserved row.
        f.prompter.answerAsk(true);
        f.files.deleteData(u"項目分類情報"_qs);
        QCOMPARE(rowCount(db, Table::Koumoku), 1);
    }
    if (item == QLatin1String("品名情報")) // lines keep the product they referred to
        QVERIFY(lineField(db, 3000, "品名ID").toInt() > 0);
    // The name indexes list exactly the rows of their tables, also after new rows.
    QVERIFY(nameIndexesAgree(db));
    QVERIFY(addSampleLines(db, 10, QDate(2027, 3, 31)));
    QVERIFY(nameIndexesAgree(db));
}

void TestFileCommands::backupRefusesAStaleIndex()
{
    TestEnvironment env;
    const QString file = sampleDatabase(env, 500);
    const QString backup = env.writeFile(u"backup.idb"_qs, "last good backup");

    // The quick check passes such a file; the copy of it is refused all the same.
    QVERIFY(!staleDateIndex(file).isEmpty());
    QCOMPARE(FileOps::quickCheck(file).status, FileOps::FileCheck::Status::Sound);
    const FileOps::FileCheck result = FileOps::backupDatabase(file, backup);
    QCOMPARE(result.status, FileOps::FileCheck::Status::Damaged);
    QVERIFY2(result.detail.contains(u"missing from index"_qs), qPrintable(result.detail));
    QCOMPARE(readAll(backup), QByteArray("last good backup"));
    QCOMPARE(strayFiles(env.root(), { u"shop.idb"_qs, u"backup.idb"_qs }), QStringList());
}

void TestFileCommands::fileSizeLimitIsReportedNotFatal()
{
    TestEnvironment env;
    const QString file = sampleDatabase(env, 20000);
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
    // Whatever the operation, a write past the limit leaves the file and its folder as they were.
    for (const QString& operation : { u"saveas"_qs, u"copy"_qs, u"compact"_qs }) {
        child.start(QStringLiteral(KOTRINA_FILEOP_CHILD), { operation, file, env.path(u"copy.idb"_qs) });
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("failed"));
        QCOMPARE(readAll(file), original);
        QCOMPARE(strayFiles(env.root(), { u"shop.idb"_qs }), QStringList());
    }
}

void TestFileCommands::aFileAnotherCopyHasOpenIsNotReplaced()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 3000));
    QVERIFY(f.state.DatabaseConnection.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" % 2 = 0)"_qs));
    // Another copy of the program, with the file open until its input closes.
    QProcess other;
    other.start(QStringLiteral(KOTRINA_FILEOP_CHILD), { u"hold"_qs, f.current });
    QVERIFY(other.waitForReadyRead() && other.readLine().trimmed() == "open");
    const QByteArray before = readAll(f.current);

    // Compaction is refused with the file as it was, and work goes on with it here.
    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts(), QStringList { InUse });
    QCOMPARE(readAll(f.current), before);
    f.verifyNames(f.current);

    // Nor does another file saved as it take its place.
    f.view.name = f.env.newDatabase(u"second.idb"_qs);
    QVERIFY(f.files.openAndRecord());
    f.prompter.answerFile(f.current);
    f.prompter.answerAsk(true);
    f.files.saveAs();
    QCOMPARE(f.prompter.texts().constLast(), SaveFailed + u"\rほかのプログラムがファイルを使用中です。"_qs);
    QCOMPARE(readAll(f.current), before);
    f.verifyNames(f.env.path(u"second.idb"_qs));

    // Once the other copy has closed it, the file is compacted.
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished());
    f.view.name = f.current;
    QVERIFY(f.files.openAndRecord());
    f.prompter.clear();
    f.files.repairAndCompact();
    QCOMPARE(f.prompter.texts(), QStringList { u"データベースを最適化しました。"_qs });
    QVERIFY(QFileInfo(f.current).size() < before.size());
    QCOMPARE(f.lines(), 1500);
}

void TestFileCommands::leftoversOfDeadRunsOnly()
{
    Files f;
    const QString dead = u".kotrina-tmp-0999999999-000001"_qs;
    const QString live = u".kotrina-tmp-%1-000001"_qs.arg(QCoreApplication::applicationPid(), 10, 10, QLatin1Char('0'));
    const QStringList mine = { live, u".kotrina-tmp-notes"_qs, u"shop.idb"_qs };
    for (const QString& name :
         mine + QStringList { dead, dead + u"-journal"_qs, u".kotrina-tmp-999999999-2-shop.idb"_qs })
        f.env.writeFile(u"a/"_qs + name, "x");
    QCOMPARE(FileOps::removeLeftovers(f.env.path(u"a"_qs)), 3);
    QCOMPARE(strayFiles(f.env.path(u"a"_qs), {}), mine);
    // A run that died noted the folder of its output; the window's next start finds it there.
    const QString output = f.env.path(u"出力"_qs);
    f.env.writeFile(u"出力/"_qs + dead, "x");
    f.env.writeFile(u"home/temporary/999999999.folders"_qs, QFile::encodeName(output) + "\n");
    f.files.removeLeftovers();
    QCOMPARE(strayFiles(output, {}), QStringList());
    QVERIFY(!QFileInfo::exists(f.env.path(u"home/temporary/999999999.folders"_qs)));
    // The program's own temporary names are short whatever the name of the file they become.
    const QString longName = f.env.path(QString(80, QChar(0x68DA)) + u".idb"_qs);
    QCOMPARE(QFileInfo(FileOps::temporaryPathFor(longName)).fileName().size(), live.size());
}

void TestFileCommands::aClaimGivenUpKeepsTheEnginesLocks()
{
    TestEnvironment env;
    const QString file = env.newDatabase();
    // A write of this process is under way while another connection of it opens and closes
    // the file (as a command run or a reopening does): other programs still find it locked.
    const OtherProgramWriting writing(file, { u"BEGIN IMMEDIATE"_qs, uR"(DELETE FROM "単位")"_qs });
    QVERIFY(writing.started());
    for (Database::Access access : { Database::Access::ReadOnly, Database::Access::ReadWrite }) {
        Database look;
        QVERIFY(look.open(file, nullptr, access));
    }
    QProcess sqlite;
    sqlite.start(u"/usr/bin/sqlite3"_qs, { file, u"BEGIN IMMEDIATE; COMMIT;"_qs });
    QVERIFY(sqlite.waitForFinished());
    QVERIFY2(sqlite.readAllStandardError().contains("locked"), "another program could write in the middle of ours");
}

void TestFileCommands::killedMidwayLeavesTheOriginalIntact()
{
    TestEnvironment env;
    const QString pristine = env.newDatabase(u"pristine.idb"_qs);
    {
        Database db;
        QVERIFY(db.open(pristine) && addSampleLines(db, 100000));
        QVERIFY(db.exec(uR"(DELETE FROM "棚卸マスター" WHERE "ID" % 2 = 0)"_qs));
    }
    const QString file = env.path(u"shop.idb"_qs);
    const QString target = env.path(u"target.idb"_qs);
    for (const QString& operation : { u"compact"_qs, u"saveas"_qs, u"copy"_qs }) {
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
            QVERIFY2(integrityOk(file), qPrintable(u"%1 after %2 ms"_qs.arg(operation).arg(delay)));
            QCOMPARE(linesIn(file), 50000);
            // What the killed run left is recognised as its own and nothing else is taken.
            FileOps::removeLeftovers(env.root());
            QCOMPARE(strayFiles(env.root(), { u"pristine.idb"_qs, u"shop.idb"_qs, u"target.idb"_qs }), QStringList());
            // A target is there only when it is complete.
            if (QFileInfo::exists(target))
                QCOMPARE(operation == QLatin1String("copy") ? readAll(target).size() : linesIn(target),
                         operation == QLatin1String("copy") ? readAll(file).size() : 50000);
        }
        qInfo("%s: %d of 4 runs interrupted", qPrintable(operation), interrupted);
        QVERIFY2(interrupted > 0, "no run was interrupted; the data is too small to tell");
    }
}

void TestFileCommands::backupAndCompactionTellTheirProgressAndStop()
{
    Files f;
    // Large enough that the work is still going when it is first asked how far it has come.
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 30000));
    f.state.DatabaseConnection.close();
    const QString backup = f.env.writeFile(u"backup.idb"_qs, "last good backup");
    const QByteArray file = readAll(f.current);

    // Cancelled, the backup and the compaction leave every file as it was and nothing beside them.
    StepsSeen cancelled;
    cancelled.cancel = true;
    QCOMPARE(FileOps::backupDatabase(f.current, backup, cancelled.progress()).status,
             FileOps::FileCheck::Status::Cancelled);
    QVERIFY(!cancelled.steps.isEmpty());
    QCOMPARE(readAll(backup), QByteArray("last good backup"));
    cancelled.steps.clear();
    QCOMPARE(FileOps::compactDatabase(f.current, cancelled.progress()).status,
             FileOps::CompactResult::Status::Cancelled);
    QVERIFY(!cancelled.steps.isEmpty());
    QCOMPARE(readAll(f.current), file);
    QVERIFY(strayFiles(f.env.root(), { u"current.idb"_qs, u"backup.idb"_qs }).isEmpty());

    // The backup at closing says it was stopped and keeps the earlier backup.
    BackupKeeper keeper(f.state.paths, f.state.settings);
    QVERIFY(keeper.write(f.current).written);
    const QByteArray earlier = readAll(keeper.backupPath());
    cancelled.steps.clear();
    const BackupKeeper::Outcome stopped = keeper.write(f.current, cancelled.progress());
    QVERIFY(!stopped.written);
    QCOMPARE(BackupKeeper::message(stopped),
             u"バックアップの作成を中止しました。前回のバックアップをそのまま残しました。"_qs);
    QCOMPARE(readAll(keeper.backupPath()), earlier);
    QCOMPARE(keeper.state(), BackupKeeper::State::Unchanged);

    // Let run, the copy is told by how much of it is written, then its check, whose length
    // cannot be told; the backup is made as without anybody watching.
    StepsSeen seen;
    const FileOps::FileCheck made = FileOps::backupDatabase(f.current, backup, seen.progress());
    QVERIFY2(made.sound(), qPrintable(made.detail));
    QVERIFY(integrityOk(backup));
    QCOMPARE(linesIn(backup), 30000);
    QVERIFY(!seen.steps.isEmpty());
    QVERIFY(!seen.stages.isEmpty() && seen.stages.size() <= 2);
    QCOMPARE(seen.stages.last(), FileOps::Stage::CheckingCopy);
    for (const auto& [done, total] : std::as_const(seen.steps))
        QVERIFY(total == 0 ? done == 0 : done >= 0 && done <= total);

    // The compaction goes through its three stages in order.
    seen = {};
    const FileOps::CompactResult compacted = FileOps::compactDatabase(f.current, seen.progress());
    QVERIFY2(compacted.status == FileOps::CompactResult::Status::Compacted, qPrintable(compacted.detail));
    QVERIFY(integrityOk(f.current));
    QCOMPARE(linesIn(f.current), 30000);
    QVERIFY(std::is_sorted(seen.stages.begin(), seen.stages.end()));
    QVERIFY(strayFiles(f.env.root(), { u"current.idb"_qs, u"backup.idb"_qs }).isEmpty());

    // A backup from a damaged file is still refused with progress told, and the last good one stays.
    QVERIFY(!damageDataPage(f.current).isEmpty());
    const QByteArray good = readAll(backup);
    seen = {};
    QCOMPARE(FileOps::backupDatabase(f.current, backup, seen.progress()).status, FileOps::FileCheck::Status::Damaged);
    QCOMPARE(readAll(backup), good);
    QVERIFY(strayFiles(f.env.root(), { u"current.idb"_qs, u"backup.idb"_qs }).isEmpty());
}

void TestFileCommands::upgradeTellsItsProgressAndStops()
{
    Files f;
    QVERIFY(addSampleLines(f.state.DatabaseConnection, 50000));
    // A line far beyond the others: the ranges of lines follow the lines, not the numbers.
    QVERIFY(
        f.state.DatabaseConnection.exec(uR"(UPDATE "棚卸マスター" SET "ID" = 1000000000000 WHERE "ID" = 25000)"_qs));
    f.state.DatabaseConnection.close();
    f.state.ConnectionOpen = false;
    QVERIFY(makeVersion(f.current, 1));
    const QString later = u"ファイルは元のままです。\r品名の検索に時間がかかることがあります。"
                          "次に開くときに、もう一度更新します。"_qs;

    // Stopped by the user, the file opens as it was, still of the old version, and says so.
    f.view.work.cancelAt = 2;
    QVERIFY(f.files.openAndRecord());
    QCOMPARE(f.view.work.caption, u"データベースファイルの更新"_qs);
    QCOMPARE(f.view.work.steps.size(), qsizetype(3));
    QCOMPARE(f.prompter.texts(), QStringList { u"データベースファイルの更新を中止しました。"_qs + later });
    f.verifyNames(f.current);
    QVERIFY(!f.state.DatabaseConnection.hasNameIndexes());
    QCOMPARE(f.lines(), 50000);
    f.state.DatabaseConnection.close();
    QCOMPARE(schemaVersion(f.current), 1);
    QVERIFY(integrityOk(f.current));

    // Let run, it counts up to its total in ranges of lines, and once it was shown it says
    // it is done; the file is of today's version with its indexes.
    f.prompter.clear();
    f.view.work = {};
    f.view.work.shown = true;
    QVERIFY(f.files.openAndRecord());
    const WorkSeen& seen = f.view.work;
    QVERIFY2(seen.steps.size() > 50000 / 20000, qPrintable(QString::number(seen.steps.size())));
    QVERIFY(seen.forwardOnly());
    QCOMPARE(seen.steps.first().first, qint64(0));
    QVERIFY(seen.steps.last().second > 50000);
    QCOMPARE(seen.steps.last().first, seen.steps.last().second);
    QCOMPARE(f.prompter.texts(),
             QStringList { u"データベースファイルを新しい形式に更新しました。次回からはすぐに開きます。"_qs });
    QVERIFY(nameIndexesAgree(f.state.DatabaseConnection));
    QCOMPARE(f.state.DatabaseConnection.upgrade(), Schema::Upgrade::Done);

    // A file of today's version starts no long work and says nothing.
    f.prompter.clear();
    f.view.work = {};
    QVERIFY(f.files.openAndRecord());
    QVERIFY(f.view.work.steps.isEmpty());
    QVERIFY(f.prompter.texts().isEmpty());
}

KOTRINA_REGISTER_TEST(TestFileCommands)
#include "TestFileCommands.moc"
