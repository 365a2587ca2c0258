// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/imports/ImportWriter.h"

#include "core/store/NameIndex.h"
#include "core/store/Schema.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The engine's page cache during an import, in KiB: room for the indexes that grow with
// every line, well within the memory an import may take.
constexpr int ImportCacheKiB = 32768;

// The server's advisory lock the imports of the stations take turns by.
constexpr int ImportTurnKey = 0x4b541000;

// Below this many lines an import keeps the lines' indexes as they are.
constexpr qint64 MinLinesForFreshIndexes = 10000;

// Writes handed to the writing thread at a time, and how many such batches may wait for
// it (which bounds the memory they take when the file is read faster than written).
constexpr size_t BatchSize = 2048;
constexpr size_t BatchesWaiting = 8;

// A text of a write: where it lies in its batch's texts, in UTF-8 (as the engine keeps
// texts; the reading thread has the time to convert them).
struct Text
{
    qsizetype offset = 0, size = 0;
};

// One write as the writing thread carries it out.
struct Write
{
    enum class Kind : quint8
    {
        Line,
        Category,
        Product,
        ProductUpdate,
        Unit,
        LineName, // a pair of name and product ID for the lines' name indexes
        Code, // a product's code, after the codes it has
    };
    Kind kind = Kind::Line;
    bool withUnit = false, withPrice = false; // ProductUpdate: which values change
    int id = 0; // of the row written
    int categoryId = 0, productId = 0; // Line, LineName
    int price = 0; // Product, ProductUpdate
    int order = 0; // Code: its place among the product's codes
    double quantity = 0, unitPrice = 0, amount = 0; // Line
    Text date, name, unit, memo;
    std::optional<Text> words; // the short-word index row of a product or a line name
};

// Writes with their texts end to end in one buffer: a few allocations for thousands of
// rows instead of several for each, and none to free on the other thread.
struct Batch
{
    std::vector<Write> writes;
    std::string texts;
};

// One prepared statement, run again and again with new values.
class Statement
{
public:
    Statement() = default;
    ~Statement() { finish(); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepare(sqlite3* db, const QString& sql)
    {
        finish();
        return sqlite3_prepare16_v3(db, sql.utf16(), int(sql.size() * sizeof(char16_t)), SQLITE_PREPARE_PERSISTENT,
                                    &m_statement, nullptr)
            == SQLITE_OK;
    }
    void finish()
    {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
    void bind(int index, int value) { sqlite3_bind_int(m_statement, index, value); }
    void bind(int index, double value) { sqlite3_bind_double(m_statement, index, value); }
    // The text must live until run() returns.
    void bind(int index, QByteArrayView utf8)
    {
        sqlite3_bind_text(m_statement, index, utf8.data() ? utf8.data() : "", int(utf8.size()), SQLITE_STATIC);
    }
    bool run()
    {
        const int status = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        return status == SQLITE_DONE;
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// A code as kept (8 or 13 digits) as one number; nullopt for any other text, which no
// code as kept can equal.
std::optional<quint64> codeKey(QStringView code)
{
    if (code.size() != 8 && code.size() != 13)
        return std::nullopt;
    quint64 number = 0;
    for (const QChar c : code) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number * 2 + (code.size() == 13 ? 1 : 0);
}

} // namespace

// The writes of a run as one engine carries them out.
class ImportWriter::Statements
{
public:
    virtual ~Statements() = default;
    virtual bool prepare(bool indexesSuspended, bool withCodes) = 0;
    // Carries out one write, or keeps it for the next flush().
    virtual bool run(const Write& w, const std::string& texts) = 0;
    // Writes whatever run() kept back.
    virtual bool flush() { return true; }
    virtual void finish() = 0;
    // Whether the writes may be carried out on a thread of their own.
    virtual bool threaded() const = 0;

    QString error() const { return m_error; }

protected:
    QString m_error;
};

// The writes on a file: statements prepared once on the engine itself, one row at a time
// (a row costs no round trip here).
class ImportWriter::FileStatements final : public ImportWriter::Statements
{
public:
    explicit FileStatements(sqlite3* db)
        : m_db(db)
    { }

    bool threaded() const override { return sqlite3_threadsafe() != 0; }

    bool prepare(bool indexesSuspended, bool withCodes) override
    {
        const auto prepare
            = [&](Statement& statement, const QString& sql) { return statement.prepare(m_db, sql) || failed(); };
        return prepare(m_line, QStringLiteral(R"(INSERT INTO "棚卸マスター"
                ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID")
                VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"))
            && prepare(m_category, QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (?, ?))"))
            && prepare(
                   m_product,
                   QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, ?, ?))"))
            && prepare(m_productUpdate, QStringLiteral(R"(UPDATE "仕入商品"
                SET "単価" = CASE WHEN ?1 THEN ?2 ELSE "単価" END, "単位" = CASE WHEN ?3 THEN ?4 ELSE "単位" END
                WHERE "品名ID" = ?5)"))
            && prepare(m_unit, QStringLiteral(R"(INSERT INTO "単位" ("単位ID", "単位") VALUES (?, ?))"))
            && (!withCodes
                || prepare(m_code,
                           QStringLiteral(R"(INSERT INTO "商品コード" ("コード", "品名ID", "順番") VALUES (?, ?, ?))")))
            && (!indexesSuspended
                || (prepare(m_productWords, NameIndex::insertStatement(Table::Shohin, NameIndex::Kind::ShortWords))
                    && prepare(m_lineName, NameIndex::lineNameStatement())
                    && prepare(m_lineNameWords, NameIndex::insertStatement(Table::Tana, NameIndex::Kind::ShortWords))));
    }

    void finish() override
    {
        for (Statement* s : { &m_line, &m_category, &m_product, &m_productUpdate, &m_unit, &m_productWords, &m_lineName,
                              &m_lineNameWords, &m_code })
            s->finish();
    }

    bool run(const Write& w, const std::string& texts) override
    {
        const auto text = [&texts](const Text& t) { return QByteArrayView(texts.data() + t.offset, t.size); };
        switch (w.kind) {
        case Write::Kind::Line:
            return run(m_line, w.id, text(w.date), w.categoryId, text(w.name), w.quantity, text(w.unit), w.unitPrice,
                       w.amount, text(w.memo), w.productId);
        case Write::Kind::Category:
            return run(m_category, w.id, text(w.name));
        case Write::Kind::Product:
            return run(m_product, w.id, text(w.name), w.price, text(w.unit))
                && (!w.words || run(m_productWords, w.id, text(*w.words)));
        case Write::Kind::ProductUpdate:
            return run(m_productUpdate, w.withPrice ? 1 : 0, w.price, w.withUnit ? 1 : 0, text(w.unit), w.id);
        case Write::Kind::Unit:
            return run(m_unit, w.id, text(w.unit));
        case Write::Kind::Code:
            return run(m_code, text(w.name), w.productId, w.order);
        case Write::Kind::LineName:
            // Listed unless it is listed already (by an earlier import or typed lines).
            if (!run(m_lineName, text(w.name), w.productId))
                return false;
            return sqlite3_changes(m_db) == 0
                || run(m_lineNameWords, int(sqlite3_last_insert_rowid(m_db)), text(*w.words));
        }
        return false;
    }

private:
    bool failed()
    {
        if (m_error.isEmpty())
            m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }
    // Binds the values to the statement's parameters in their order and runs it.
    template<typename... Values> bool run(Statement& statement, const Values&... values)
    {
        int index = 0;
        (statement.bind(++index, values), ...);
        return statement.run() || failed();
    }

    sqlite3* m_db;
    Statement m_line, m_category, m_product, m_productUpdate, m_unit, m_productWords, m_lineName, m_lineNameWords,
        m_code;
};

namespace {

// Rows of one table gathered to be inserted many to a statement: on a server each
// statement is a round trip, which would take most of an import's time row by row.
class RowBatch
{
public:
    RowBatch(const QString& table, const QStringList& columns)
        : m_table(table)
        , m_columns(columns)
        , m_rowsPerStatement(std::max<int>(1, ValuesPerStatement / int(columns.size())))
    {
        m_values.reserve(m_rowsPerStatement * columns.size());
    }

    // Whether the row just added fills a statement.
    bool add(std::initializer_list<QVariant> row)
    {
        for (const QVariant& value : row)
            m_values.append(value);
        return ++m_rows == m_rowsPerStatement;
    }

    bool write(const QSqlDatabase& db, QString* error)
    {
        if (m_rows == 0)
            return true;
        // The statement of a full batch is prepared once and used again; the last, shorter
        // one is prepared for itself.
        std::optional<QSqlQuery> shorter;
        QSqlQuery* q = nullptr;
        if (m_rows == m_rowsPerStatement) {
            if (!m_full) {
                m_full.emplace(db);
                if (!m_full->prepare(statement(m_rows)))
                    return failed(*m_full, error);
            }
            q = &*m_full;
        } else {
            shorter.emplace(db);
            if (!shorter->prepare(statement(m_rows)))
                return failed(*shorter, error);
            q = &*shorter;
        }
        for (qsizetype i = 0; i < m_values.size(); ++i)
            q->bindValue(int(i), m_values.at(i));
        const bool ok = q->exec();
        m_values.clear();
        m_rows = 0;
        return ok || failed(*q, error);
    }

    void finish() { m_full.reset(); }

private:
    // Values of a statement: well below the engine's limit of parameters.
    static constexpr int ValuesPerStatement = 5000;

    QString statement(int rows) const
    {
        QString marks = QStringLiteral("(?");
        for (qsizetype c = 1; c < m_columns.size(); ++c)
            marks += QStringLiteral(", ?");
        marks += QLatin1Char(')');
        QStringList quoted;
        for (const QString& column : m_columns)
            quoted << QLatin1Char('"') + column + QLatin1Char('"');
        QString sql
            = QStringLiteral(R"(INSERT INTO "%1" (%2) VALUES )").arg(m_table, quoted.join(QStringLiteral(", ")));
        sql.reserve(sql.size() + rows * (marks.size() + 2));
        for (int r = 0; r < rows; ++r) {
            if (r > 0)
                sql += QStringLiteral(", ");
            sql += marks;
        }
        return sql;
    }

    static bool failed(const QSqlQuery& q, QString* error)
    {
        if (error->isEmpty())
            *error = q.lastError().text();
        return false;
    }

    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    int m_rows = 0;
    QVariantList m_values;
    std::optional<QSqlQuery> m_full;
};

} // namespace

// The writes on a database server: rows gathered per table and inserted many to a
// statement, on the caller's thread (the connection belongs to it). The masters go before
// the lines and codes that name them, so a reader inside the run finds them all.
class ImportWriter::ServerStatements final : public ImportWriter::Statements
{
public:
    explicit ServerStatements(const QSqlDatabase& db)
        : m_db(db)
    { }

    bool threaded() const override { return false; }

    bool prepare(bool /*indexesSuspended*/, bool /*withCodes*/) override { return true; }

    bool run(const Write& w, const std::string& texts) override
    {
        const auto text = [&texts](const Text& t) { return QString::fromUtf8(texts.data() + t.offset, t.size); };
        bool full = false;
        switch (w.kind) {
        case Write::Kind::Line:
            full = m_lines.add({ w.id, text(w.date), w.categoryId, text(w.name), w.quantity, text(w.unit), w.unitPrice,
                                 w.amount, text(w.memo), w.productId });
            break;
        case Write::Kind::Category:
            full = m_categories.add({ w.id, text(w.name) });
            break;
        case Write::Kind::Product:
            full = m_products.add({ w.id, text(w.name), w.price, text(w.unit) });
            break;
        case Write::Kind::Unit:
            full = m_units.add({ w.id, text(w.unit) });
            break;
        case Write::Kind::Code:
            full = m_codes.add({ text(w.name), w.productId, w.order });
            break;
        case Write::Kind::ProductUpdate:
            // The product may be one of this run's still waiting to be written.
            return flush() && update(w, text(w.unit));
        case Write::Kind::LineName:
            return true; // the server keeps its name indexes itself
        }
        return !full || flush();
    }

    bool flush() override
    {
        for (RowBatch* batch : { &m_categories, &m_products, &m_units, &m_codes, &m_lines }) {
            if (!batch->write(m_db, &m_error))
                return false;
        }
        return true;
    }

    void finish() override
    {
        for (RowBatch* batch : { &m_categories, &m_products, &m_units, &m_codes, &m_lines })
            batch->finish();
    }

private:
    bool update(const Write& w, const QString& unit)
    {
        if (!w.withPrice && !w.withUnit)
            return true;
        QStringList set;
        QVariantList values;
        if (w.withPrice) {
            set << QStringLiteral(R"("単価" = ?)");
            values << w.price;
        }
        if (w.withUnit) {
            set << QStringLiteral(R"("単位" = ?)");
            values << unit;
        }
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral(R"(UPDATE "仕入商品" SET %1 WHERE "品名ID" = ?)").arg(set.join(QStringLiteral(", "))));
        values << w.id;
        for (qsizetype i = 0; i < values.size(); ++i)
            q.bindValue(int(i), values.at(i));
        if (q.exec())
            return true;
        if (m_error.isEmpty())
            m_error = q.lastError().text();
        return false;
    }

    QSqlDatabase m_db;
    RowBatch m_lines { QStringLiteral("棚卸マスター"),
                       { QStringLiteral("ID"), QStringLiteral("日付"), QStringLiteral("項目ID"), QStringLiteral("品名"),
                         QStringLiteral("数量"), QStringLiteral("単位"), QStringLiteral("単価"), QStringLiteral("価格"),
                         QStringLiteral("備考"), QStringLiteral("品名ID") } };
    RowBatch m_categories { QStringLiteral("項目分類"), { QStringLiteral("項目ID"), QStringLiteral("項目分類名") } };
    RowBatch m_products { QStringLiteral("仕入商品"),
                          { QStringLiteral("品名ID"), QStringLiteral("品名"), QStringLiteral("単価"),
                            QStringLiteral("単位") } };
    RowBatch m_units { QStringLiteral("単位"), { QStringLiteral("単位ID"), QStringLiteral("単位") } };
    RowBatch m_codes { QStringLiteral("商品コード"),
                       { QStringLiteral("コード"), QStringLiteral("品名ID"), QStringLiteral("順番") } };
};

// Hands the writes over to the thread that carries them out, in batches, in their order.
// Where the engine takes no writes from another thread, or there is no thread to be had,
// they are handed to the statements at once instead.
class ImportWriter::Pipeline
{
public:
    explicit Pipeline(Statements& statements)
        : m_statements(statements)
    {
        m_batch.writes.reserve(BatchSize);
        if (!m_statements.threaded())
            return;
        try {
            m_thread = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the writes are carried out at once.
        }
    }

    ~Pipeline()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_queue.clear(); // given up: not written
            m_ending = true;
        }
        m_ready.notify_one();
        m_thread.join();
    }

    // A text for the write to be added next.
    Text text(QByteArrayView utf8)
    {
        const Text t { qsizetype(m_batch.texts.size()), utf8.size() };
        m_batch.texts.append(utf8.data(), size_t(utf8.size()));
        return t;
    }
    Text text(QStringView text)
    {
        std::string& texts = m_batch.texts;
        const size_t offset = texts.size();
        texts.resize(offset + size_t(m_encoder.requiredSpace(text.size())));
        const char* end = m_encoder.appendToBuffer(texts.data() + offset, text);
        texts.resize(size_t(end - texts.data()));
        return { qsizetype(offset), qsizetype(texts.size() - offset) };
    }

    // Adds a write whose texts were just given.
    void add(const Write& write)
    {
        m_batch.writes.push_back(write);
        if (!m_thread.joinable()) {
            if (!m_failed && !m_statements.run(write, m_batch.texts))
                m_failed = true;
            m_batch = {};
        } else if (m_batch.writes.size() == BatchSize) {
            handOver();
        }
    }

    // Waits until everything handed over is written; false when a write failed.
    bool finish()
    {
        if (m_thread.joinable()) {
            handOver();
            {
                const std::lock_guard lock(m_mutex);
                m_ending = true;
            }
            m_ready.notify_one();
            m_thread.join();
        }
        if (!m_failed && !m_statements.flush())
            m_failed = true;
        return !m_failed;
    }

    bool failed() const { return m_failed; }

    std::unique_lock<std::mutex> hold() { return std::unique_lock(m_engine); }

private:
    void handOver()
    {
        if (m_batch.writes.empty())
            return;
        {
            std::unique_lock lock(m_mutex);
            m_room.wait(lock, [this] { return m_queue.size() < BatchesWaiting; });
            m_queue.push_back(std::move(m_batch));
        }
        m_ready.notify_one();
        m_batch = {};
        m_batch.writes.reserve(BatchSize);
    }

    void work()
    {
        for (;;) {
            Batch batch;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return m_ending || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                batch = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_room.notify_one();
            const std::lock_guard engine(m_engine);
            // After a failure the rest is only taken off the queue: none of it stays.
            for (const Write& write : batch.writes) {
                if (m_failed)
                    break;
                if (!m_statements.run(write, batch.texts))
                    m_failed = true;
            }
        }
    }

    Statements& m_statements;
    QStringEncoder m_encoder { QStringEncoder::Utf8, QStringConverter::Flag::Stateless };
    Batch m_batch;
    std::deque<Batch> m_queue;
    std::mutex m_mutex;
    std::condition_variable m_ready, m_room;
    std::mutex m_engine; // held by whoever uses the connection
    bool m_ending = false;
    std::atomic<bool> m_failed { false };
    std::thread m_thread;
};

ImportWriter::ImportWriter(Database& db)
    : m_db(db)
{ }

ImportWriter::~ImportWriter()
{
    m_pipeline.reset(); // the writing thread stops before anything else goes
    if (m_statements)
        m_statements->finish();
    m_bulk.reset();
    m_transaction.reset(); // rolled back unless committed
    if (!m_cacheSize.isEmpty())
        m_db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(m_cacheSize.toInt()));
}

std::unique_lock<std::mutex> ImportWriter::holdWrites()
{
    return m_pipeline ? m_pipeline->hold() : std::unique_lock<std::mutex>();
}

bool ImportWriter::hasFailed() const
{
    return !m_error.isEmpty() || (m_pipeline && m_pipeline->failed());
}

QString ImportWriter::error() const
{
    if (!m_error.isEmpty())
        return m_error;
    // Read only once the writing thread has stopped (commit() or a failed begin()).
    const QString error = m_statements ? m_statements->error() : QString();
    return error.isEmpty() && hasFailed() ? QStringLiteral("unknown database error") : error;
}

bool ImportWriter::fail(const QString& error)
{
    if (m_error.isEmpty())
        m_error = error.isEmpty() ? QStringLiteral("unknown database error") : error;
    return false;
}

bool ImportWriter::runAll(const QStringList& statements)
{
    for (const QString& sql : statements) {
        QString error;
        if (!m_db.exec(sql, {}, &error))
            return fail(error);
    }
    return true;
}

bool ImportWriter::begin(qint64 expectedLines)
{
    const QSqlDatabase connection = m_db.connection();
    m_onServer = m_db.engine() == Engine::Postgres;
    if (!m_onServer) {
        QSqlQuery q(connection);
        if (q.exec(QStringLiteral("PRAGMA cache_size")) && q.next())
            m_cacheSize = q.value(0).toString();
        m_db.exec(QStringLiteral("PRAGMA cache_size = -%1").arg(ImportCacheKiB));
    }

    m_transaction = std::make_unique<Transaction>(m_db);
    if (!m_transaction->isActive())
        return fail(connection.lastError().text());

    // In a file the next IDs are counted inside the transaction: nobody else writes
    // meanwhile. A server hands them out to every station from its sequences; there the
    // imports of several stations take turns (until their commit), so that names new to the
    // masters that two files share are registered once, by the import that comes first.
    if (m_onServer
        && !m_db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(CAST(? AS integer), CAST(? AS integer))"),
                      { ImportTurnKey, 0 }, &m_error))
        return false;
    if (!m_onServer) {
        for (Table table : { Table::Tana, Table::Koumoku, Table::Shohin, Table::Tani })
            m_ids[size_t(table)].next = m_db.nextId(table);
    }
    if (!m_historyDay.isEmpty() && m_db.hasHistory()) {
        m_bulk = std::make_unique<HistoryTrail::BulkChange>(connection);
        if (!m_bulk->isActive())
            return fail(connection.lastError().text());
        // The marker took the file's write lock: nobody finalises the date from now on, so
        // once it is found unlocked the lines' triggers step aside until the commit.
        if (QString refusal; HistoryTrail::refuseLocked(m_db, QDate::fromString(m_historyDay, Qt::ISODate), &refusal))
            return fail(refusal);
        if (!runAll(HistoryTrail::suspendLineTriggers(connection)))
            return false;
    }
    // Every product of the run has an ID from here on; those read below have smaller ones.
    if (m_onServer && !reserveIds(Table::Shohin))
        return false;
    m_firstProduct = m_ids[size_t(Table::Shohin)].next;

    // Names as stored; of two rows with one name the one with the smaller ID is meant.
    const auto readNames = [&](const QString& sql, NameMap<int>& names) {
        QSqlQuery q(connection);
        q.setForwardOnly(true);
        if (!q.exec(sql))
            return fail(q.lastError().text());
        while (q.next())
            names.try_emplace(q.value(1).toString(), q.value(0).toInt());
        return true;
    };
    if (!readNames(QStringLiteral(R"(SELECT "項目ID", "項目分類名" FROM "項目分類" ORDER BY "項目ID")"), m_categories)
        || !readNames(QStringLiteral(R"(SELECT "品名ID", "品名" FROM "仕入商品" ORDER BY "品名ID")"), m_products))
        return false;
    {
        QSqlQuery q(connection);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral(R"(SELECT "単位" FROM "単位")")))
            return fail(q.lastError().text());
        while (q.next()) {
            const QString unit = q.value(0).toString();
            m_units.try_emplace(unit, unit.toUtf8());
        }
    }

    {
        QSqlDatabase db = connection;
        m_keepsCodes = Schema::version(db) >= Schema::CodesVersion;
    }
    if (m_onServer) {
        // The server keeps its indexes up to date itself, and the other stations go on
        // reading and writing the tables meanwhile: nothing is suspended or dropped.
        m_statements = std::make_unique<ServerStatements>(connection);
        m_pipeline = std::make_unique<Pipeline>(*m_statements);
        return true;
    }

    // Row by row, the index triggers would take up most of the time of a large import.
    if (NameIndex::lineNamesListed(m_db)) {
        QSqlQuery q(connection);
        if (!q.exec(QStringLiteral(R"(SELECT COALESCE(MAX("番号"), 0) + 1 FROM "%1")").arg(NameIndex::lineNamesTable()))
            || !q.next())
            return fail(q.lastError().text());
        m_firstLineName = q.value(0).toInt();
        q.finish();
        if (!runAll(NameIndex::suspendStatements(Table::Tana) + NameIndex::suspendStatements(Table::Shohin)))
            return false;
        m_indexesSuspended = true;
    }
    // Kept up to date, the index over the product IDs takes each line to its own place;
    // made afresh it is one sort of the whole table, several times cheaper a line. The date
    // index costs the writing thread more kept up to date than its sort at the end.
    const int linesBefore = m_ids[size_t(Table::Tana)].next - 1;
    if (expectedLines >= MinLinesForFreshIndexes && expectedLines * 2 >= linesBefore) {
        if (!runAll(Schema::dropLineIndexStatements()))
            return false;
        m_lineIndexesDropped = true;
    }

    const QVariant handle = connection.driver()->handle();
    sqlite3* file = nullptr;
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !(file = *static_cast<sqlite3* const*>(handle.constData())))
        return fail(QStringLiteral("no SQLite connection"));
    m_statements = std::make_unique<FileStatements>(file);
    if (!m_statements->prepare(m_indexesSuspended, m_keepsCodes))
        return fail(m_statements->error());
    m_pipeline = std::make_unique<Pipeline>(*m_statements);
    return true;
}

bool ImportWriter::reserveIds(Table table)
{
    // Taken in blocks that grow with the run: a few round trips for a large import, few
    // numbers left unused by a small one.
    IdSource& ids = m_ids[size_t(table)];
    ids.block = std::min(ids.block * 4, MaxReservedIds);
    const int first = m_db.reserveIds(table, ids.block);
    if (first <= 0)
        return fail(m_db.connection().lastError().text());
    ids.next = first;
    ids.end = first + ids.block;
    return true;
}

int ImportWriter::takeId(Table table)
{
    IdSource& ids = m_ids[size_t(table)];
    if (m_onServer && ids.next == ids.end && !reserveIds(table))
        return 0; // the run has failed: nothing of it is written
    return ids.next++;
}

std::optional<int> ImportWriter::categoryId(const QString& name) const
{
    const auto found = m_categories.find(name);
    return found == m_categories.end() ? std::nullopt : std::optional<int>(found->second);
}

std::optional<int> ImportWriter::productId(const QString& name) const
{
    const auto found = m_products.find(name);
    return found == m_products.end() ? std::nullopt : std::optional<int>(found->second);
}

int ImportWriter::addCategory(const QString& name)
{
    const int id = takeId(Table::Koumoku);
    Write w;
    w.kind = Write::Kind::Category;
    w.id = id;
    w.name = m_pipeline->text(name);
    m_pipeline->add(w);
    m_categories.try_emplace(name, id);
    return id;
}

int ImportWriter::addProduct(const QString& name, const QString& unit, int unitPrice)
{
    const int id = takeId(Table::Shohin);
    Write w;
    w.kind = Write::Kind::Product;
    w.id = id;
    w.name = m_pipeline->text(name);
    w.price = unitPrice;
    w.unit = m_pipeline->text(unit);
    if (m_indexesSuspended)
        w.words = m_pipeline->text(NameIndex::shortWords(name));
    m_pipeline->add(w);
    m_products.try_emplace(name, id);
    return id;
}

void ImportWriter::updateProduct(int id, const std::optional<QString>& unit, std::optional<int> unitPrice)
{
    Write w;
    w.kind = Write::Kind::ProductUpdate;
    w.id = id;
    w.withPrice = unitPrice.has_value();
    w.price = unitPrice.value_or(0);
    w.withUnit = unit.has_value();
    w.unit = m_pipeline->text(unit.value_or(QString()));
    m_pipeline->add(w);
}

void ImportWriter::registerUnit(const QString& unit)
{
    unitText(unit);
}

const QByteArray& ImportWriter::unitText(const QString& unit)
{
    static const QByteArray none;
    if (unit.isEmpty())
        return none;
    auto found = m_units.find(unit);
    if (found == m_units.end()) {
        found = m_units.try_emplace(unit, unit.toUtf8()).first;
        Write w;
        w.kind = Write::Kind::Unit;
        w.id = takeId(Table::Tani);
        w.unit = m_pipeline->text(found->second);
        m_pipeline->add(w);
    }
    return found->second;
}

void ImportWriter::addLine(const ImportedLine& line)
{
    if (line.date != m_date) {
        m_date = line.date;
        m_dateText = m_date.toUtf8();
    }
    // A unit new to the master is a write of its own, handed over before any text of the
    // line is: a hand-over starts a new batch, where the line's texts must be.
    const QByteArray& unit = unitText(line.unit);
    Write w;
    w.kind = Write::Kind::Line;
    w.id = takeId(Table::Tana);
    ++m_linesAdded;
    w.date = m_pipeline->text(m_dateText);
    w.categoryId = line.categoryId;
    w.quantity = line.quantity;
    w.unit = m_pipeline->text(unit);
    w.unitPrice = line.unitPrice;
    w.amount = line.amount;
    w.memo = m_pipeline->text(line.memo);
    w.productId = line.productId;
    // Nearly always a product's lines carry its name: its text is made once, and the
    // pair listed for the name indexes once.
    bool newPair = false;
    const auto known = m_lineNames.find(line.productId);
    if (known == m_lineNames.end()) {
        w.name = m_pipeline->text(
            m_lineNames.try_emplace(line.productId, LineName { line.name, line.name.toUtf8() }).first->second.text);
        newPair = true;
    } else if (known->second.name == line.name) {
        w.name = m_pipeline->text(known->second.text);
    } else {
        w.name = m_pipeline->text(line.name);
        newPair = m_otherLineNames.insert({ line.name, line.productId }).second;
    }
    m_pipeline->add(w);
    if (newPair && m_indexesSuspended && !line.name.isEmpty()) {
        Write pair;
        pair.kind = Write::Kind::LineName;
        pair.name = m_pipeline->text(line.name);
        pair.productId = line.productId;
        pair.words = m_pipeline->text(NameIndex::shortWords(line.name));
        m_pipeline->add(pair);
    }
}

int ImportWriter::codeOwner(const QString& code)
{
    if (!m_keepsCodes)
        return 0;
    if (!m_codesRead) {
        m_codesRead = true;
        const auto held = holdWrites();
        QSqlQuery q(m_db.connection());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral(R"(SELECT "コード", "品名ID", "順番" FROM "商品コード")"))) {
            fail(q.lastError().text());
            return 0;
        }
        while (q.next()) {
            const int product = q.value(1).toInt();
            if (const std::optional<quint64> key = codeKey(q.value(0).toString()))
                m_codes.try_emplace(*key, product);
            int& next = m_nextCodeOrder[product];
            next = std::max(next, q.value(2).toInt() + 1);
        }
    }
    const std::optional<quint64> key = codeKey(code);
    const auto found = key ? m_codes.find(*key) : m_codes.end();
    return found == m_codes.end() ? 0 : found->second;
}

void ImportWriter::addCode(int productId, const QString& code)
{
    const std::optional<quint64> key = codeKey(code);
    if (!key)
        return;
    if (!m_codesRead)
        codeOwner(code); // the codes of the file, and so the places of their products' next ones
    Write w;
    w.kind = Write::Kind::Code;
    w.name = m_pipeline->text(code);
    w.productId = productId;
    // Counted here rather than by the statement: an insert that reads its own table first
    // copies what it reads to a table of its own, several times the cost of the row.
    if (productId >= m_firstProduct) {
        const size_t index = size_t(productId - m_firstProduct);
        if (index >= m_nextNewCodeOrder.size())
            m_nextNewCodeOrder.resize(std::max(index + 1, 2 * m_nextNewCodeOrder.size()));
        w.order = m_nextNewCodeOrder[index]++;
    } else {
        w.order = m_nextCodeOrder[productId]++;
    }
    m_pipeline->add(w);
    m_codes.insert_or_assign(*key, productId);
}

QString ImportWriter::productName(int id)
{
    // Products of this run may still wait for the writing thread: their names are here.
    if (id >= m_firstProduct) {
        for (const auto& [name, productId] : m_products) {
            if (productId == id)
                return name;
        }
    }
    const auto held = holdWrites();
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "品名" FROM "仕入商品" WHERE "品名ID" = ?)"));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

bool ImportWriter::commit()
{
    if (hasFailed() || !m_transaction || !m_pipeline->finish())
        return false;
    m_statements->finish();
    if (m_lineIndexesDropped && !runAll(Schema::lineIndexStatements()))
        return false;
    if (m_indexesSuspended
        && !runAll(NameIndex::resumeStatements(Table::Tana, m_firstLineName)
                   + NameIndex::resumeStatements(Table::Shohin, m_firstProduct)))
        return false;
    QString error;
    if (m_bulk && !runAll(HistoryTrail::resumeLineTriggers(m_db.connection())))
        return false;
    if (m_bulk) {
        const QJsonObject note { { QStringLiteral("ファイル"), QFileInfo(m_historyFile).fileName() },
                                 { QStringLiteral("パス"), QFileInfo(m_historyFile).absoluteFilePath() },
                                 { QStringLiteral("行数"), m_linesAdded } };
        if (!m_bulk->finish(QString::fromUtf8(HistoryTrail::KindImported), m_historyDay,
                            QString::fromUtf8(QJsonDocument(note).toJson(QJsonDocument::Compact)), &error))
            return fail(error);
    }
    return m_transaction->commit(&error) || fail(error);
}

void ImportWriter::recordAsOneEntry(const QString& day, const QString& file)
{
    m_historyDay = day;
    m_historyFile = file;
}
