#include "core/store/NameIndex.h"

#include <QSqlQuery>
#include <QVarLengthArray>

namespace {

constexpr int TrigramLength = 3;

QString nameColumnOf(Table table)
{
    return table == Table::Tana || table == Table::Shohin ? QStringLiteral("品名") : QString();
}

constexpr NameIndex::Kind Kinds[] = { NameIndex::Kind::Trigrams, NameIndex::Kind::ShortWords };
constexpr Table IndexedTables[] = { Table::Tana, Table::Shohin };

// What an index takes in for the name held in value (an SQL expression). The short-word
// index gets each character and each pair of characters of the name as words between
// blanks; its tokenizer keeps every character from U+0080 on and ASCII letters and
// digits in words.
QString indexedValue(NameIndex::Kind kind, const QString& value)
{
    if (kind == NameIndex::Kind::Trigrams)
        return value;
    // json_each of "[0,0,…,0]" counts 0 … length.
    return QStringLiteral(R"((SELECT group_concat(substr(%1, key, 1) || ' ' || substr(%1, key, 2), ' ')
        FROM json_each('[' || replace(printf('%.*c', length(%1), 'x'), 'x', '0,') || '0]') WHERE key > 0))")
        .arg(value);
}

// The triggers that keep an index of table in step with every insert, update and delete.
QStringList triggerStatements(Table table, NameIndex::Kind kind)
{
    const QString t = tableName(table), id = idColumn(table), name = nameColumnOf(table),
                  index = NameIndex::indexTable(table, kind);
    const QString add = QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") VALUES (new."%3", %4);)")
                            .arg(index, name, id, indexedValue(kind, QStringLiteral("new.\"%1\"").arg(name)));
    const QString remove = QStringLiteral(R"(INSERT INTO "%1" ("%1", rowid, "%2") VALUES ('delete', old."%3", %4);)")
                               .arg(index, name, id, indexedValue(kind, QStringLiteral("old.\"%1\"").arg(name)));
    return { QStringLiteral(R"(CREATE TRIGGER "%1_追加" AFTER INSERT ON "%2" BEGIN %3 END)").arg(index, t, add),
             QStringLiteral(R"(CREATE TRIGGER "%1_削除" AFTER DELETE ON "%2" BEGIN %3 END)").arg(index, t, remove),
             QStringLiteral(R"(CREATE TRIGGER "%1_変更" AFTER UPDATE OF "%3", "%4" ON "%2" BEGIN %5 %6 END)")
                 .arg(index, t, id, name, remove, add) };
}

// The words to look text up by: its pieces of three characters (not UTF-16 units: a
// character outside the basic plane is one character), or for a shorter text the text
// itself; each as a quoted index string, each once. None when the index cannot answer.
QStringList lookupWords(NameIndex::Kind kind, const QString& text)
{
    const QList<uint> characters = text.toUcs4();
    const auto quoted = [](QString word) -> QString {
        // Inside an index string only the double quote is special; it is doubled.
        return QLatin1Char('"') + word.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    };
    QStringList words;
    if (kind == NameIndex::Kind::ShortWords) {
        // ASCII other than letters and digits separates words in that index: a text
        // holding such a character is not one word there.
        const bool oneWord = std::all_of(characters.begin(), characters.end(), [](uint c) {
            return c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        });
        if (!characters.isEmpty() && characters.size() < TrigramLength && oneWord)
            words << quoted(text);
        return words;
    }
    for (qsizetype i = 0; i + TrigramLength <= characters.size(); ++i) {
        const QString piece
            = quoted(QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData() + i), TrigramLength));
        if (!words.contains(piece))
            words << piece;
    }
    return words;
}

} // namespace

namespace NameIndex {

QString indexTable(Table table, Kind kind)
{
    if (nameColumnOf(table).isEmpty())
        return {};
    return tableName(table) + (kind == Kind::Trigrams ? QStringLiteral("_品名索引") : QStringLiteral("_品名短索引"));
}

QStringList indexTables()
{
    return { indexTable(Table::Tana, Kind::Trigrams), indexTable(Table::Tana, Kind::ShortWords),
             indexTable(Table::Shohin, Kind::Trigrams), indexTable(Table::Shohin, Kind::ShortWords) };
}

QStringList createStatements()
{
    QStringList statements;
    for (Table table : IndexedTables) {
        // The trigram index keeps no copy of the names (content=): it reads them from
        // the table; the short-word index keeps none at all (content=''). Neither keeps
        // positions (detail=none) nor sizes for ranking (columnsize=0): every word is
        // looked up on its own, and the caller's own condition checks the rest.
        statements << QStringLiteral(R"(CREATE VIRTUAL TABLE "%1" USING fts5("%2", content='%3', content_rowid='%4',
                tokenize='trigram', detail=none, columnsize=0))")
                          .arg(indexTable(table, Kind::Trigrams), nameColumnOf(table), tableName(table),
                               idColumn(table))
                   << QStringLiteral(R"(CREATE VIRTUAL TABLE "%1" USING fts5("%2", content='',
                tokenize='ascii', detail=none, columnsize=0))")
                          .arg(indexTable(table, Kind::ShortWords), nameColumnOf(table));
        for (Kind kind : Kinds)
            statements << triggerStatements(table, kind);
    }
    return statements;
}

QStringList fillStatements()
{
    QStringList statements;
    for (Table table : IndexedTables) {
        statements
            << QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('rebuild'))").arg(indexTable(table, Kind::Trigrams))
            << QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") SELECT "%3", %4 FROM "%5")")
                   .arg(indexTable(table, Kind::ShortWords), nameColumnOf(table), idColumn(table),
                        indexedValue(Kind::ShortWords, QStringLiteral("\"%1\"").arg(nameColumnOf(table))),
                        tableName(table));
    }
    return statements;
}

QStringList suspendStatements(Table table)
{
    QStringList statements;
    if (indexTable(table).isEmpty())
        return statements;
    for (Kind kind : Kinds) {
        for (const char* trigger : { "追加", "削除", "変更" })
            statements
                << QStringLiteral(R"(DROP TRIGGER "%1_%2")").arg(indexTable(table, kind), QString::fromUtf8(trigger));
    }
    return statements;
}

QString insertStatement(Table table, Kind kind)
{
    return QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") VALUES (?, ?))")
        .arg(indexTable(table, kind), nameColumnOf(table));
}

QString shortWords(const QString& name)
{
    // As indexedValue() makes them in SQL: for each character, the character and the pair
    // it begins (the last one alone), all between blanks; nothing for an empty name. A
    // character outside the basic plane is one character, as for the engine.
    QVarLengthArray<qsizetype, 64> starts;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!(i > 0 && name.at(i).isLowSurrogate() && name.at(i - 1).isHighSurrogate()))
            starts.append(i);
    }
    const qsizetype characters = starts.size();
    starts.append(name.size());
    QString words;
    words.reserve(name.size() * 4);
    const QStringView view(name);
    for (qsizetype k = 0; k < characters; ++k) {
        if (k > 0)
            words += QLatin1Char(' ');
        words += view.sliced(starts[k], starts[k + 1] - starts[k]);
        words += QLatin1Char(' ');
        words += view.sliced(starts[k], starts[std::min(k + 2, characters)] - starts[k]);
    }
    return words;
}

QStringList resumeStatements(Table table, int firstId)
{
    QStringList statements;
    if (indexTable(table).isEmpty())
        return statements;
    const QString t = tableName(table), id = idColumn(table), name = nameColumnOf(table);
    statements << QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") SELECT "%3", "%2" FROM "%4" WHERE "%3" >= %5)")
                      .arg(indexTable(table, Kind::Trigrams), name, id, t)
                      .arg(firstId);
    for (Kind kind : Kinds)
        statements << triggerStatements(table, kind);
    return statements;
}

bool deleteAllRows(const Database& db, Table table, QString* error)
{
    const QString deleteRows = QStringLiteral(R"(DELETE FROM "%1")").arg(tableName(table));
    if (indexTable(table).isEmpty() || !db.hasNameIndexes())
        return db.exec(deleteRows, {}, error);
    // Row by row the triggers would take the indexes apart one name at a time (half a
    // minute for a million lines); instead they step aside while the table and its
    // indexes are emptied at once.
    QStringList statements = suspendStatements(table);
    for (Kind kind : Kinds)
        statements << QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('delete-all'))").arg(indexTable(table, kind));
    statements << deleteRows;
    for (Kind kind : Kinds)
        statements << triggerStatements(table, kind);
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

std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit)
{
    const Kind kind = text.toUcs4().size() < TrigramLength ? Kind::ShortWords : Kind::Trigrams;
    const QString index = indexTable(table, kind);
    const QStringList words = lookupWords(kind, text);
    if (index.isEmpty() || !db.hasNameIndexes() || words.isEmpty())
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
    // A word found in very many rows costs more to read than it narrows the rows down:
    // only the rarer words are asked for, each of which has to be in every row that
    // holds the text. Pieces in a few times more rows than wanted still narrow the
    // others cheaply; a handful of them is enough, and a text whose first words are all
    // common is left to the scan.
    constexpr int EnoughPieces = 4;
    constexpr int PiecesTried = 8;
    // With one word alone there is nothing to narrow it: it has to be rare enough itself.
    const int probe = words.size() == 1 ? limit : 2 * limit;
    QStringList rare;
    int fewest = probe + 1;
    int tried = 0;
    for (const QString& piece : words) {
        const std::optional<int> n = count(piece, probe);
        if (!n)
            return std::nullopt;
        if (*n == 0) // no row holds the text
            return Candidates { subquery, piece };
        if (*n <= probe)
            rare << piece;
        fewest = std::min(fewest, *n);
        if (rare.size() == EnoughPieces || ++tried == PiecesTried)
            break;
    }
    if (rare.isEmpty())
        return std::nullopt;
    const QString match = rare.join(QStringLiteral(" AND "));
    if (fewest > limit) {
        if (const std::optional<int> n = count(match, limit); !n || *n > limit)
            return std::nullopt;
    }
    return Candidates { subquery, match };
}

} // namespace NameIndex
