#include "core/store/NameIndex.h"

#include <QSqlQuery>

namespace {

QString nameColumnOf(Table table)
{
    return table == Table::Tana || table == Table::Shohin ? QStringLiteral("品名") : QString();
}

// The three-character pieces of text, each as a quoted index string, each once.
QStringList pieces(const QString& text)
{
    // Pieces of three characters, not of three UTF-16 units: a character outside the
    // basic plane is one character to the index.
    const QList<uint> characters = text.toUcs4();
    QStringList pieces;
    for (qsizetype i = 0; i + NameIndex::MinimumLength <= characters.size(); ++i) {
        QString piece = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData() + i),
                                          NameIndex::MinimumLength);
        // Inside an index string only the double quote is special; it is doubled.
        piece.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        const QString quoted = QLatin1Char('"') + piece + QLatin1Char('"');
        if (!pieces.contains(quoted))
            pieces << quoted;
    }
    return pieces;
}

// The triggers that keep the index of table in step with every insert, update and delete.
QStringList triggerStatements(Table table)
{
    const QString t = tableName(table), id = idColumn(table), name = nameColumnOf(table),
                  index = NameIndex::indexTable(table);
    return { QStringLiteral(R"(CREATE TRIGGER "%1_追加" AFTER INSERT ON "%2" BEGIN
                INSERT INTO "%1" (rowid, "%3") VALUES (new."%4", new."%3"); END)")
                 .arg(index, t, name, id),
             QStringLiteral(R"(CREATE TRIGGER "%1_削除" AFTER DELETE ON "%2" BEGIN
                INSERT INTO "%1" ("%1", rowid, "%3") VALUES ('delete', old."%4", old."%3"); END)")
                 .arg(index, t, name, id),
             QStringLiteral(R"(CREATE TRIGGER "%1_変更" AFTER UPDATE OF "%4", "%3" ON "%2" BEGIN
                INSERT INTO "%1" ("%1", rowid, "%3") VALUES ('delete', old."%4", old."%3");
                INSERT INTO "%1" (rowid, "%3") VALUES (new."%4", new."%3"); END)")
                 .arg(index, t, name, id) };
}

} // namespace

namespace NameIndex {

QString indexTable(Table table)
{
    return nameColumnOf(table).isEmpty() ? QString() : tableName(table) + QStringLiteral("_品名索引");
}

QStringList createStatements()
{
    QStringList statements;
    for (Table table : { Table::Tana, Table::Shohin }) {
        // The index keeps no copy of the names (content=): it reads them from the table.
        // Neither positions (detail=none) nor sizes for ranking (columnsize=0) are kept:
        // every piece is looked up on its own, and the caller's own condition checks the
        // order of the pieces.
        statements << QStringLiteral(R"(CREATE VIRTUAL TABLE "%1" USING fts5("%2", content='%3', content_rowid='%4',
                tokenize='trigram', detail=none, columnsize=0))")
                          .arg(indexTable(table), nameColumnOf(table), tableName(table), idColumn(table))
                   << triggerStatements(table);
    }
    return statements;
}

bool deleteAllRows(const Database& db, Table table, QString* error)
{
    const QString deleteRows = QStringLiteral(R"(DELETE FROM "%1")").arg(tableName(table));
    if (indexTable(table).isEmpty() || !db.hasNameIndexes())
        return db.exec(deleteRows, {}, error);
    // Row by row the triggers would take the index apart one name at a time (half a
    // minute for a million lines); instead they step aside while the table and its
    // index are emptied at once.
    QStringList statements;
    for (const char* kind : { "追加", "削除", "変更" })
        statements << QStringLiteral(R"(DROP TRIGGER "%1_%2")").arg(indexTable(table), QString::fromUtf8(kind));
    statements << QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('delete-all'))").arg(indexTable(table))
               << deleteRows << triggerStatements(table);
    // A savepoint works inside the caller's transaction as well as without one.
    if (!db.exec(QStringLiteral("SAVEPOINT delete_all_rows"), {}, error))
        return false;
    for (const QString& sql : statements) {
        if (!db.exec(sql, {}, error)) {
            db.exec(QStringLiteral("ROLLBACK TO delete_all_rows"));
            db.exec(QStringLiteral("RELEASE delete_all_rows"));
            return false;
        }
    }
    return db.exec(QStringLiteral("RELEASE delete_all_rows"), {}, error);
}

QString rebuildStatement(Table table)
{
    return QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('rebuild'))").arg(indexTable(table));
}

std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit)
{
    const QString index = indexTable(table);
    if (index.isEmpty() || !db.hasNameIndexes())
        return std::nullopt;
    const QString subquery = QStringLiteral(R"(SELECT rowid AS r FROM "%1" WHERE "%1" MATCH ?)").arg(index);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT count(*) FROM (%1 LIMIT ?)").arg(subquery));
    const auto count = [&q](const QString& match, int upTo) -> std::optional<int> {
        q.addBindValue(match);
        q.addBindValue(upTo + 1);
        if (!q.exec() || !q.next())
            return std::nullopt;
        const int n = q.value(0).toInt();
        q.finish();
        return n;
    };
    // A piece found in very many rows costs more to read than it narrows the rows down:
    // only the rarer pieces are asked for, each of which has to be in every row that
    // holds the text. Pieces in a few times more rows than wanted still narrow the
    // others cheaply; a handful of them is enough, and a text whose first pieces are all
    // common is left to the scan.
    constexpr int EnoughPieces = 4;
    constexpr int PiecesTried = 8;
    QStringList rare;
    int tried = 0;
    for (const QString& piece : pieces(text)) {
        const std::optional<int> n = count(piece, 2 * limit);
        if (!n)
            return std::nullopt;
        if (*n == 0) // no row holds the text
            return Candidates { subquery, piece };
        if (*n <= 2 * limit)
            rare << piece;
        if (rare.size() == EnoughPieces || ++tried == PiecesTried)
            break;
    }
    if (rare.isEmpty())
        return std::nullopt;
    const QString match = rare.join(QStringLiteral(" AND "));
    if (const std::optional<int> n = count(match, limit); !n || *n > limit)
        return std::nullopt;
    return Candidates { subquery, match };
}

} // namespace NameIndex
