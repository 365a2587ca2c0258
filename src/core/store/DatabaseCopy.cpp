// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/DatabaseCopy.h"

#include "core/store/Database.h"
#include "core/store/DatabaseName.h"
#include "core/store/FileOps.h"
#include "core/store/HistoryTrail.h"
#include "core/store/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <map>
#include <memory>
#include <optional>

namespace DatabaseCopy {

namespace {

// A table as it is copied: its key orders the rows and resumes the reading after each batch.
struct CopiedTable
{
    QString name;
    QString key;
    QString shownAs; // in the refusal of a target that is not empty
    QString condition; // the rows that make a target not empty
};

// In the order they are written: the masters before the lines that name them, the codes after
// their products, the phones and their lines' identifiers after the lines, the lines before the
// history, and the finalisations after the lines (a finalised date refuses lines) and the
// history (their own entries are in it already).
QList<CopiedTable> copiedTables()
{
    return {
        { QStringLiteral("単位"), QStringLiteral("単位ID"), QStringLiteral("数量単位"), {} },
        { QStringLiteral("仕入商品"), QStringLiteral("品名ID"), QStringLiteral("品名"), {} },
        { QStringLiteral("商品コード"), QStringLiteral("コード"), QStringLiteral("商品コード"), {} },
        { QStringLiteral("項目分類"), QStringLiteral("項目ID"), QStringLiteral("項目/分類"),
          QStringLiteral(R"( WHERE "項目ID" <> 0)") },
        { QStringLiteral("棚卸マスター"), QStringLiteral("ID"), QStringLiteral("棚卸"), {} },
        { QStringLiteral("スマートフォン"), QStringLiteral("番号"), QStringLiteral("スマートフォン"), {} },
        // A line's ID is the key of its phone's identifier: each line was sent once.
        { QStringLiteral("スマートフォン明細"), QStringLiteral("行ID"), QStringLiteral("スマートフォンの明細"), {} },
        { QString::fromUtf8(HistoryTrail::HistoryTable), QStringLiteral("番号"), QStringLiteral("変更履歴"), {} },
        { QString::fromUtf8(HistoryTrail::FinalisedTable), QStringLiteral("番号"), QStringLiteral("棚卸の確定"), {} },
        { QString::fromUtf8(HistoryTrail::SealTable), QStringLiteral("番号"), QStringLiteral("変更履歴の封印"), {} },
    };
}

QString quoted(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool isServerName(const QString& name)
{
    return DatabaseName::isServer(name);
}

// A file's path, a server's URI without its password.
QString shownName(const QString& name)
{
    return isServerName(name) ? DatabaseName::display(name) : QDir::toNativeSeparators(name);
}

bool sameDatabase(const QString& a, const QString& b)
{
    if (isServerName(a) || isServerName(b)) {
        const std::optional<DatabaseName::Server> sa = DatabaseName::parse(a);
        const std::optional<DatabaseName::Server> sb = DatabaseName::parse(b);
        return sa && sb && sa->host == sb->host && sa->port == sb->port && sa->database == sb->database;
    }
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() ? fa.canonicalFilePath() == fb.canonicalFilePath()
                                      : fa.absoluteFilePath() == fb.absoluteFilePath();
}

bool hasTable(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    return q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(quoted(table)));
}

// The columns of table in the order of the table.
QStringList columnsOf(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    QStringList columns;
    if (!q.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(quoted(table))))
        return columns;
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i)
        columns << record.fieldName(i);
    return columns;
}

std::optional<qint64> countRows(const QSqlDatabase& db, const QString& table, const QString& condition = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(quoted(table), condition)) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

// What the target holds already, as the refusal names it; empty for an empty target.
QString contentsOf(const QSqlDatabase& db)
{
    QStringList held;
    for (const CopiedTable& table : copiedTables()) {
        if (!hasTable(db, table.name))
            continue;
        const std::optional<qint64> rows = countRows(db, table.name, table.condition);
        if (!rows)
            return QStringLiteral("%1 を読み込めません").arg(table.shownAs);
        if (*rows > 0)
            held << QStringLiteral("%1 %2 件").arg(table.shownAs).arg(*rows);
    }
    return held.join(QStringLiteral("、"));
}

QString notEmpty(const QString& target, const QString& contents)
{
    return QStringLiteral("コピー先のデータベースには、すでにデータがあります（%1）。\n"
                          "コピー先には、新しいファイルか空のデータベースを指定してください: %2")
        .arg(contents, shownName(target));
}

// Counts the rows written and tells progress after each batch.
class Tally
{
public:
    Tally(const ProgressStep& step, qint64 total)
        : m_step(step)
        , m_total(total)
    { }
    bool advance(qint64 rows)
    {
        m_done += rows;
        return !m_step || m_step(qMin(m_done, m_total), m_total);
    }

private:
    const ProgressStep& m_step;
    qint64 m_total = 0;
    qint64 m_done = 0;
};

// The rows read and written at once: large enough that a statement carries many rows (a server
// is asked once per statement), small enough to stay within every engine's limit of bound values.
constexpr int RowsPerRead = 4000;
constexpr int ValuesPerStatement = 2400;

class TableCopier
{
public:
    TableCopier(const QSqlDatabase& in, const QSqlDatabase& out, const CopiedTable& table, const QStringList& columns)
        : m_in(in)
        , m_out(out)
        , m_table(table)
        , m_columns(columns)
        , m_rowsPerStatement(qMax(1, ValuesPerStatement / int(columns.size())))
    { }

    // Copies every row in key order; false with error when a read or a write fails or
    // tally asks to stop (stopped then says so).
    bool run(Tally& tally, QString* error, bool* stopped)
    {
        QStringList names;
        for (const QString& column : m_columns)
            names << quoted(column);
        const QString select
            = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QLatin1Char(',')), quoted(m_table.name));
        const QString order = QStringLiteral(" ORDER BY %1 LIMIT %2").arg(quoted(m_table.key)).arg(RowsPerRead);
        const int keyIndex = int(m_columns.indexOf(m_table.key));
        QSqlQuery read(m_in);
        read.setForwardOnly(true);
        QVariant last;
        for (;;) {
            if (last.isNull()) {
                read.prepare(select + order);
            } else {
                read.prepare(select + QStringLiteral(" WHERE %1 > ?").arg(quoted(m_table.key)) + order);
                read.addBindValue(last);
            }
            if (!read.exec())
                return failed(
                    error,
                    QStringLiteral("コピー元の %1 を読み込めません: %2").arg(m_table.shownAs, read.lastError().text()));
            QList<QVariantList> rows;
            while (read.next()) {
                QVariantList row;
                row.reserve(m_columns.size());
                for (int i = 0; i < m_columns.size(); ++i)
                    row << read.value(i);
                rows << row;
            }
            if (read.lastError().isValid())
                return failed(
                    error,
                    QStringLiteral("コピー元の %1 を読み込めません: %2").arg(m_table.shownAs, read.lastError().text()));
            read.finish();
            if (rows.isEmpty())
                return true;
            if (!write(rows, error))
                return false;
            m_copied += rows.size();
            if (!tally.advance(rows.size())) {
                *stopped = true;
                return false;
            }
            if (rows.size() < RowsPerRead)
                return true;
            last = rows.constLast().at(keyIndex);
        }
    }

    qint64 copied() const { return m_copied; }

private:
    bool write(const QList<QVariantList>& rows, QString* error)
    {
        for (qsizetype from = 0; from < rows.size(); from += m_rowsPerStatement) {
            const int count = int(qMin<qsizetype>(m_rowsPerStatement, rows.size() - from));
            QSqlQuery& insert = statementFor(count);
            int at = 0;
            for (int r = 0; r < count; ++r) {
                for (const QVariant& value : rows.at(from + r))
                    insert.bindValue(at++, value);
            }
            if (!insert.exec()) {
                // The batch names its first row; the engine's text names the value it refused.
                const QVariant key = rows.at(from).at(m_columns.indexOf(m_table.key));
                return failed(error,
                              QStringLiteral("コピー先に %1 を書き込めません（%2 %3 から）: %4")
                                  .arg(m_table.shownAs, m_table.key, key.toString(), insert.lastError().text()));
            }
        }
        return true;
    }

    // The INSERT of count rows, prepared once for each count used.
    QSqlQuery& statementFor(int count)
    {
        auto found = m_statements.find(count);
        if (found != m_statements.end())
            return *found->second;
        QStringList names, marks;
        for (const QString& column : m_columns) {
            names << quoted(column);
            marks << QStringLiteral("?");
        }
        const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
        QStringList values;
        for (int i = 0; i < count; ++i)
            values << row;
        auto query = std::make_unique<QSqlQuery>(m_out);
        query->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                           .arg(quoted(m_table.name), names.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
        return *m_statements.emplace(count, std::move(query)).first->second;
    }

    bool failed(QString* error, const QString& text)
    {
        *error = text;
        return false;
    }

    QSqlDatabase m_in;
    QSqlDatabase m_out;
    CopiedTable m_table;
    QStringList m_columns;
    int m_rowsPerStatement = 1;
    qint64 m_copied = 0;
    std::map<int, std::unique_ptr<QSqlQuery>> m_statements;
};

// Opens the source as the program opens a database: a file of an older version is brought up
// to date on the way. A file that cannot be written is read as it is, if it is of this version.
bool openSource(Database& db, const QString& source, QString* message)
{
    QString error;
    if (!isServerName(source) && !QFileInfo(source).isFile()) {
        *message = QStringLiteral("コピー元のデータベースが見つかりません: %1").arg(shownName(source));
        return false;
    }
    if (db.open(source, &error, Database::Access::ReadWrite))
        return true;
    if (!isServerName(source) && !QFileInfo(source).isWritable()
        && db.open(source, &error, Database::Access::ReadOnly)) {
        QSqlDatabase connection = db.connection();
        if (Schema::version(connection) == Schema::UserVersion)
            return true;
        db.close();
        *message = QStringLiteral("コピー元のファイルは古い形式です。書き込めないため新しい形式にできません。"
                                  "書き込める場所に置いてからやり直してください: %1")
                       .arg(shownName(source));
        return false;
    }
    *message = QStringLiteral("コピー元のデータベースを開けません: %1\n%2").arg(shownName(source), error);
    return false;
}

// A new file is made under a temporary name beside target, with the tables of this version.
bool makeFile(const QString& path, QString* error)
{
    const QString connection = QStringLiteral("kotrina-copy-new");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open() ? Schema::create(db, error) : (*error = db.lastError().text(), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

void removeFile(const QString& path)
{
    for (const QString& suffix :
         { QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm") })
        QFile::remove(path + suffix);
}

// A server's sequences go on after the IDs copied; a file's next IDs follow its largest anyway.
bool advanceNumbering(const Database& target, QString* error)
{
    return target.catchUpIds(error);
}

// Reads of one transaction see the database as it stood at its first read, while other
// stations go on writing: on a server that takes the repeatable-read level (a file's reader
// holds its snapshot anyway).
bool beginSnapshot(QSqlDatabase& db)
{
    if (!db.transaction())
        return false;
    if (engineOf(db) == Engine::Postgres
        && !QSqlQuery(db).exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"))) {
        db.rollback();
        return false;
    }
    return true;
}

// Writes every table of in into out in one transaction of out.
Result copyRows(const Database& source, const Database& target, const ProgressStep& progress)
{
    Result result;
    QSqlDatabase in = source.connection();
    QSqlDatabase out = target.connection();
    QList<std::pair<CopiedTable, QStringList>> tables;
    qint64 total = 0;
    for (const CopiedTable& table : copiedTables()) {
        if (!hasTable(out, table.name))
            continue;
        // A file older than the codes or the history has none to give.
        if (!hasTable(in, table.name))
            continue;
        const QStringList columns = columnsOf(out, table.name);
        if (columnsOf(in, table.name) != columns) {
            result.status = Result::Status::SourceFailed;
            result.message = QStringLiteral("コピー元の %1 の形がコピー先と違います。").arg(table.shownAs);
            return result;
        }
        const std::optional<qint64> rows = countRows(in, table.name);
        if (!rows) {
            result.status = Result::Status::SourceFailed;
            result.message = QStringLiteral("コピー元の %1 を読み込めません。").arg(table.shownAs);
            return result;
        }
        total += *rows;
        tables << std::pair { table, columns };
    }
    // The source is read as it stands at one moment, while other stations may go on writing
    // (a failed statement would end a server's transaction: the tables were looked at before).
    const bool reading = beginSnapshot(in);

    Tally tally(progress, total);
    QString error;
    bool stopped = false;
    bool ok = out.transaction();
    if (!ok)
        error = out.lastError().text();
    QSqlQuery q(out);
    {
        // While the bulk marker stands the history's triggers record nothing: the rows copied
        // are no changes of their own, and the history they already have comes with them. It
        // is taken away again before the commit, unfinished (it writes no entry of its own).
        std::optional<HistoryTrail::BulkChange> quiet;
        if (ok && target.hasHistory()) {
            quiet.emplace(out);
            ok = quiet->isActive() || (error = QStringLiteral("変更履歴を止められません。"), false);
        }
        // The reserved category the new target was made with comes from the source like the rest.
        if (ok)
            ok = q.exec(QStringLiteral(R"(DELETE FROM "項目分類")")) || (error = q.lastError().text(), false);
        for (const auto& [table, columns] : tables) {
            if (!ok)
                break;
            TableCopier copier(in, out, table, columns);
            ok = copier.run(tally, &error, &stopped);
            result.tables << std::pair { table.name, copier.copied() };
        }
    }
    if (ok) {
        // The reserved category belongs in every database, whatever the source did with it.
        q.prepare(QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (0, ?)
            ON CONFLICT ("項目ID") DO NOTHING)"));
        q.addBindValue(QString::fromUtf8(Schema::ReservedCategoryName));
        ok = q.exec() || (error = q.lastError().text(), false);
    }
    q.finish();
    ok = ok && advanceNumbering(target, &error);
    if (ok && !out.commit()) {
        ok = false;
        error = out.lastError().text();
    }
    if (!ok)
        out.rollback();
    if (reading)
        in.rollback();
    if (stopped) {
        result.status = Result::Status::Cancelled;
        result.message = QStringLiteral("コピーを中止しました。コピー先には何も書き込んでいません。");
    } else if (!ok) {
        result.status = Result::Status::TargetFailed;
        result.message = QStringLiteral("コピーできませんでした。コピー先には何も書き込んでいません。\n") + error;
    } else {
        result.status = Result::Status::Copied;
    }
    return result;
}

} // namespace

QString refusalOf(const QString& target)
{
    if (!isServerName(target) && !QFileInfo::exists(target))
        return {};
    Database db;
    QString error;
    // A server's database without our tables is left to the copy, which makes them when it
    // holds no other tables.
    if (!db.open(target, &error, Database::Access::ReadOnly))
        return isServerName(target)
            ? QString()
            : QStringLiteral("コピー先のデータベースを開けません: %1\n%2").arg(shownName(target), error);
    const QString contents = contentsOf(db.connection());
    return contents.isEmpty() ? QString() : notEmpty(target, contents);
}

Result copy(const QString& source, const QString& target, const ProgressStep& progress)
{
    Result result;
    if (sameDatabase(source, target)) {
        result.status = Result::Status::TargetNotEmpty;
        result.message = QStringLiteral("コピー元とコピー先が同じです: %1").arg(shownName(target));
        return result;
    }
    Database from;
    if (!openSource(from, source, &result.message))
        return result;

    const bool newFile = !isServerName(target) && !QFileInfo::exists(target);
    const QString written = newFile ? FileOps::temporaryPathFor(QFileInfo(target).absoluteFilePath()) : target;
    Database to;
    QString error;
    if (newFile) {
        if (!QFileInfo(QFileInfo(target).absolutePath()).isDir()) {
            result.status = Result::Status::TargetFailed;
            result.message = QStringLiteral("コピー先のフォルダが見つかりません: %1")
                                 .arg(shownName(QFileInfo(target).absolutePath()));
            return result;
        }
        if (!makeFile(written, &error) || !to.open(written, &error)) {
            removeFile(written);
            result.status = Result::Status::TargetFailed;
            result.message = QStringLiteral("コピー先のファイルを作成できません: %1\n%2").arg(shownName(target), error);
            return result;
        }
    } else if (!to.open(target, &error)) {
        // An empty server database gets the tables first, as `kotrina server init` makes them;
        // one that holds other tables, or a server that cannot be reached, is told as it says.
        QString initError;
        const bool made = isServerName(target) && Database::initServer(target, &initError);
        if (!made || !to.open(target, &error)) {
            result.status = Result::Status::TargetFailed;
            result.message = QStringLiteral("コピー先のデータベースを開けません: %1\n%2")
                                 .arg(shownName(target), initError.isEmpty() ? error : initError);
            return result;
        }
    }
    if (!newFile) {
        const QString contents = contentsOf(to.connection());
        if (!contents.isEmpty()) {
            result.status = Result::Status::TargetNotEmpty;
            result.message = notEmpty(target, contents);
            return result;
        }
    }

    result = copyRows(from, to, progress);
    to.close();
    from.close();
    if (!newFile)
        return result;
    if (result.copied() && !FileOps::replaceWith(written, target, &error)) {
        result.status = Result::Status::TargetFailed;
        result.message = QStringLiteral("コピー先のファイルを置けません: %1\n%2").arg(shownName(target), error);
    }
    if (!result.copied())
        removeFile(written);
    return result;
}

} // namespace DatabaseCopy
