#include "core/imports/ImportWriter.h"

#include "core/store/NameIndex.h"
#include "core/store/Schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {

// The engine's page cache during an import, in KiB: room for the indexes that grow with
// every line, well within the memory an import may take.
constexpr int ImportCacheKiB = 32768;

// Below this many lines an import keeps the lines' indexes as they are.
constexpr qint64 MinLinesForFreshIndexes = 10000;

} // namespace

ImportWriter::ImportWriter(Database& db)
    : m_db(db)
{ }

ImportWriter::~ImportWriter()
{
    finishStatements();
    m_transaction.reset(); // rolled back unless committed
    if (!m_cacheSize.isEmpty())
        m_db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(m_cacheSize.toInt()));
}

void ImportWriter::finishStatements()
{
    for (Statement* statement : { &m_insertLine, &m_insertCategory, &m_insertProduct, &m_updateProduct, &m_insertUnit,
                                  &m_lineWords, &m_productWords })
        statement->finish();
}

bool ImportWriter::fail(const QString& error)
{
    if (m_error.isEmpty())
        m_error = error.isEmpty() ? QStringLiteral("unknown database error") : error;
    return false;
}

ImportWriter::Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

bool ImportWriter::Statement::prepare(sqlite3* db, const QString& sql)
{
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
    return sqlite3_prepare16_v3(db, sql.utf16(), int(sql.size() * sizeof(char16_t)), SQLITE_PREPARE_PERSISTENT,
                                &m_statement, nullptr)
        == SQLITE_OK;
}

void ImportWriter::Statement::finish()
{
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

void ImportWriter::Statement::bind(int index, int value)
{
    sqlite3_bind_int(m_statement, index, value);
}

void ImportWriter::Statement::bind(int index, double value)
{
    sqlite3_bind_double(m_statement, index, value);
}

void ImportWriter::Statement::bind(int index, const QString& value)
{
    sqlite3_bind_text16(m_statement, index, value.utf16(), int(value.size() * sizeof(char16_t)), SQLITE_STATIC);
}

bool ImportWriter::Statement::run()
{
    const int status = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    return status == SQLITE_DONE;
}

bool ImportWriter::run(Statement& statement)
{
    return statement.run() || fail(QString::fromUtf8(sqlite3_errmsg(m_handle)));
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
    {
        QSqlQuery q(connection);
        if (q.exec(QStringLiteral("PRAGMA cache_size")) && q.next())
            m_cacheSize = q.value(0).toString();
    }
    m_db.exec(QStringLiteral("PRAGMA cache_size = -%1").arg(ImportCacheKiB));

    m_transaction = std::make_unique<Transaction>(m_db);
    if (!m_transaction->isActive())
        return fail(connection.lastError().text());

    // The next IDs are counted inside the transaction: nobody else writes meanwhile.
    m_nextLine = m_firstLine = m_db.nextId(Table::Tana);
    m_nextCategory = m_db.nextId(Table::Koumoku);
    m_nextProduct = m_firstProduct = m_db.nextId(Table::Shohin);
    m_nextUnit = m_db.nextId(Table::Tani);

    // Names as stored; of two rows with one name the one with the smaller ID is meant.
    const auto readNames = [&](const QString& sql, QHash<QString, int>& names) {
        QSqlQuery q(connection);
        q.setForwardOnly(true);
        if (!q.exec(sql))
            return fail(q.lastError().text());
        while (q.next()) {
            const QString name = q.value(1).toString();
            if (!names.contains(name))
                names.insert(name, q.value(0).toInt());
        }
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
        while (q.next())
            m_units.insert(q.value(0).toString());
    }

    // Row by row, the index triggers would take up most of the time of a large import.
    if (m_db.hasNameIndexes()) {
        if (!runAll(NameIndex::suspendStatements(Table::Tana) + NameIndex::suspendStatements(Table::Shohin)))
            return false;
        m_indexesSuspended = true;
    }
    // Kept up to date, the index over the product IDs takes each line to its own place;
    // made afresh it is one sort of the whole table, several times cheaper a line.
    if (expectedLines >= MinLinesForFreshIndexes && expectedLines * 2 >= m_firstLine - 1) {
        if (!runAll(Schema::dropLineIndexStatements()))
            return false;
        m_lineIndexesDropped = true;
    }

    const QVariant handle = connection.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !(m_handle = *static_cast<sqlite3* const*>(handle.constData())))
        return fail(QStringLiteral("no SQLite connection"));
    const auto prepare = [&](Statement& statement, const QString& sql) {
        return statement.prepare(m_handle, sql) || fail(QString::fromUtf8(sqlite3_errmsg(m_handle)));
    };
    if (!prepare(m_insertLine, QStringLiteral(R"(INSERT INTO "棚卸マスター"
            ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID")
            VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"))
        || !prepare(m_insertCategory,
                    QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (?, ?))"))
        || !prepare(m_insertProduct,
                    QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, ?, ?))"))
        || !prepare(m_updateProduct, QStringLiteral(R"(UPDATE "仕入商品"
                        SET "単価" = CASE WHEN ?1 THEN ?2 ELSE "単価" END, "単位" = CASE WHEN ?3 THEN ?4 ELSE "単位" END
                        WHERE "品名ID" = ?5)"))
        || !prepare(m_insertUnit, QStringLiteral(R"(INSERT INTO "単位" ("単位ID", "単位") VALUES (?, ?))")))
        return false;
    if (m_indexesSuspended
        && (!prepare(m_lineWords, NameIndex::insertStatement(Table::Tana, NameIndex::Kind::ShortWords))
            || !prepare(m_productWords, NameIndex::insertStatement(Table::Shohin, NameIndex::Kind::ShortWords))))
        return false;
    return true;
}

std::optional<int> ImportWriter::categoryId(const QString& name) const
{
    const auto found = m_categories.constFind(name);
    return found == m_categories.cend() ? std::nullopt : std::optional<int>(*found);
}

std::optional<int> ImportWriter::productId(const QString& name) const
{
    const auto found = m_products.constFind(name);
    return found == m_products.cend() ? std::nullopt : std::optional<int>(*found);
}

int ImportWriter::addCategory(const QString& name)
{
    const int id = m_nextCategory++;
    m_insertCategory.bind(1, id);
    m_insertCategory.bind(2, name);
    run(m_insertCategory);
    m_categories.insert(name, id);
    return id;
}

int ImportWriter::addProduct(const QString& name, const QString& unit, int unitPrice)
{
    const int id = m_nextProduct++;
    m_insertProduct.bind(1, id);
    m_insertProduct.bind(2, name);
    m_insertProduct.bind(3, unitPrice);
    m_insertProduct.bind(4, unit);
    run(m_insertProduct);
    m_products.insert(name, id);
    if (m_indexesSuspended) {
        m_productWords.bind(1, id);
        const QString words = NameIndex::shortWords(name);
        m_productWords.bind(2, words);
        run(m_productWords);
    }
    return id;
}

void ImportWriter::updateProduct(int id, const std::optional<QString>& unit, std::optional<int> unitPrice)
{
    m_updateProduct.bind(1, unitPrice ? 1 : 0);
    m_updateProduct.bind(2, unitPrice.value_or(0));
    m_updateProduct.bind(3, unit ? 1 : 0);
    m_updateProduct.bind(4, unit.value_or(QString()));
    m_updateProduct.bind(5, id);
    run(m_updateProduct);
}

void ImportWriter::registerUnit(const QString& unit)
{
    if (unit.isEmpty() || m_units.contains(unit))
        return;
    m_insertUnit.bind(1, m_nextUnit++);
    m_insertUnit.bind(2, unit);
    run(m_insertUnit);
    m_units.insert(unit);
}

void ImportWriter::addLine(const ImportedLine& line)
{
    Statement& s = m_insertLine;
    s.bind(1, m_nextLine++);
    s.bind(2, line.date);
    s.bind(3, line.categoryId);
    s.bind(4, line.name);
    s.bind(5, line.quantity);
    s.bind(6, line.unit);
    s.bind(7, line.unitPrice);
    s.bind(8, line.amount);
    s.bind(9, line.memo);
    s.bind(10, line.productId);
    run(s);
    if (m_indexesSuspended) {
        m_lineWords.bind(1, m_nextLine - 1);
        m_lineWords.bind(2, wordsOfProduct(line.productId, line.name));
        run(m_lineWords);
    }
}

const QString& ImportWriter::wordsOfProduct(int id, const QString& name)
{
    auto found = m_wordsOfProduct.find(id);
    if (found == m_wordsOfProduct.end())
        found = m_wordsOfProduct.insert(id, NameIndex::shortWords(name));
    return *found;
}

bool ImportWriter::commit()
{
    if (hasFailed() || !m_transaction)
        return false;
    if (m_lineIndexesDropped && !runAll(Schema::lineIndexStatements()))
        return false;
    if (m_indexesSuspended
        && !runAll(NameIndex::resumeStatements(Table::Tana, m_firstLine)
                   + NameIndex::resumeStatements(Table::Shohin, m_firstProduct)))
        return false;
    finishStatements();
    QString error;
    return m_transaction->commit(&error) || fail(error);
}
