#include "core/imports/ImportWriter.h"

#include "core/store/NameIndex.h"

#include <QSqlError>

namespace {

// The engine's page cache during an import, in KiB: room for the indexes that grow with
// every line, well within the memory an import may take.
constexpr int ImportCacheKiB = 65536;

} // namespace

ImportWriter::ImportWriter(Database& db)
    : m_db(db)
{ }

ImportWriter::~ImportWriter()
{
    m_insertLine.finish();
    m_insertCategory.finish();
    m_insertProduct.finish();
    m_updateProduct.finish();
    m_insertUnit.finish();
    m_transaction.reset(); // rolled back unless committed
    if (!m_cacheSize.isEmpty())
        m_db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(m_cacheSize.toInt()));
}

bool ImportWriter::fail(const QString& error)
{
    if (m_error.isEmpty())
        m_error = error.isEmpty() ? QStringLiteral("unknown database error") : error;
    return false;
}

bool ImportWriter::run(QSqlQuery& q, std::initializer_list<QVariant> values)
{
    if (hasFailed())
        return false;
    int i = 0;
    for (const QVariant& v : values)
        q.bindValue(i++, v);
    return q.exec() || fail(q.lastError().text());
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

bool ImportWriter::begin()
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

    const auto prepare = [&](QSqlQuery& q, const QString& sql) {
        q = QSqlQuery(connection);
        return q.prepare(sql) || fail(q.lastError().text());
    };
    if (!prepare(m_insertLine, QStringLiteral(R"(INSERT INTO "棚卸マスター"
            ("ID", "日付", "項目ID", "品名", "数量", "単位", "単価", "価格", "備考", "品名ID")
            VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))"))
        || !prepare(m_insertCategory,
                    QStringLiteral(R"(INSERT INTO "項目分類" ("項目ID", "項目分類名") VALUES (?, ?))"))
        || !prepare(m_insertProduct,
                    QStringLiteral(R"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, ?, ?))"))
        || !prepare(m_updateProduct,
                    QStringLiteral(R"(UPDATE "仕入商品" SET "単価" = ?, "単位" = ? WHERE "品名ID" = ?)"))
        || !prepare(m_insertUnit, QStringLiteral(R"(INSERT INTO "単位" ("単位ID", "単位") VALUES (?, ?))")))
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
    run(m_insertCategory, { id, name });
    m_categories.insert(name, id);
    return id;
}

int ImportWriter::addProduct(const QString& name, const QString& unit, int unitPrice)
{
    const int id = m_nextProduct++;
    run(m_insertProduct, { id, name, unitPrice, unit });
    m_products.insert(name, id);
    return id;
}

void ImportWriter::updateProduct(int id, const QString& unit, int unitPrice)
{
    run(m_updateProduct, { unitPrice, unit, id });
}

void ImportWriter::registerUnit(const QString& unit)
{
    if (unit.isEmpty() || m_units.contains(unit))
        return;
    run(m_insertUnit, { m_nextUnit++, unit });
    m_units.insert(unit);
}

void ImportWriter::addLine(const ImportedLine& line)
{
    run(m_insertLine,
        { m_nextLine++, line.date, line.categoryId, line.name, line.quantity, line.unit, line.unitPrice, line.amount,
          line.memo, line.productId });
}

bool ImportWriter::commit()
{
    if (hasFailed() || !m_transaction)
        return false;
    if (m_indexesSuspended
        && !runAll(NameIndex::resumeStatements(Table::Tana, m_firstLine)
                   + NameIndex::resumeStatements(Table::Shohin, m_firstProduct)))
        return false;
    m_insertLine.finish();
    m_insertCategory.finish();
    m_insertProduct.finish();
    m_updateProduct.finish();
    m_insertUnit.finish();
    QString error;
    return m_transaction->commit(&error) || fail(error);
}
