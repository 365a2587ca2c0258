// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/store/NameIndex.h"

#include <QSqlQuery>
#include <QVarLengthArray>

namespace {

constexpr int TrigramLength = 3;
constexpr int DefaultAutomerge = 4;

const QString LineNames = QStringLiteral("棚卸マスター_品名一覧");

// Where the indexes of a table read their names: 仕入商品 itself, and for 棚卸マスター its
// list of names.
struct Source
{
    QString table, id, name;
};

std::optional<Source> sourceOf(Table table)
{
    if (table == Table::Tana)
        return Source { LineNames, QStringLiteral("番号"), QStringLiteral("品名") };
    if (table == Table::Shohin)
        return Source { tableName(table), idColumn(table), QStringLiteral("品名") };
    return std::nullopt;
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

// The triggers that keep an index of table in step with every insert, update and delete
// of its source.
QStringList indexTriggerStatements(Table table, NameIndex::Kind kind)
{
    const Source source = *sourceOf(table);
    const QString &t = source.table, &id = source.id, &name = source.name;
    const QString index = NameIndex::indexTable(table, kind);
    const QString add = QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") VALUES (new."%3", %4);)")
                            .arg(index, name, id, indexedValue(kind, QStringLiteral("new.\"%1\"").arg(name)));
    const QString remove = QStringLiteral(R"(INSERT INTO "%1" ("%1", rowid, "%2") VALUES ('delete', old."%3", %4);)")
                               .arg(index, name, id, indexedValue(kind, QStringLiteral("old.\"%1\"").arg(name)));
    return { QStringLiteral(R"(CREATE TRIGGER "%1_追加" AFTER INSERT ON "%2" BEGIN %3 END)").arg(index, t, add),
             QStringLiteral(R"(CREATE TRIGGER "%1_削除" AFTER DELETE ON "%2" BEGIN %3 END)").arg(index, t, remove),
             QStringLiteral(R"(CREATE TRIGGER "%1_変更" AFTER UPDATE OF "%3", "%4" ON "%2" BEGIN %5 %6 END)")
                 .arg(index, t, id, name, remove, add) };
}

// The triggers of 棚卸マスター that list the name of every line added or changed. Lines
// deleted leave their names listed.
QStringList lineNameTriggerStatements()
{
    const QString add = QStringLiteral(R"(WHEN new."品名" <> '' BEGIN
        INSERT OR IGNORE INTO "%1" ("品名", "品名ID") VALUES (new."品名", new."品名ID"); END)")
                            .arg(LineNames);
    return { QStringLiteral(R"(CREATE TRIGGER "%1_追加" AFTER INSERT ON "棚卸マスター" %2)").arg(LineNames, add),
             QStringLiteral(R"(CREATE TRIGGER "%1_変更" AFTER UPDATE OF "品名", "品名ID" ON "棚卸マスター" %2)")
                 .arg(LineNames, add) };
}

QStringList triggerStatements(Table table)
{
    QStringList statements;
    for (NameIndex::Kind kind : Kinds)
        statements << indexTriggerStatements(table, kind);
    if (table == Table::Tana)
        statements << lineNameTriggerStatements();
    return statements;
}

QStringList dropTriggerStatements(Table table)
{
    QStringList statements;
    for (NameIndex::Kind kind : Kinds) {
        for (const char* trigger : { "追加", "削除", "変更" })
            statements << QStringLiteral(R"(DROP TRIGGER "%1_%2")")
                              .arg(NameIndex::indexTable(table, kind), QString::fromUtf8(trigger));
    }
    if (table == Table::Tana) {
        for (const char* trigger : { "追加", "変更" })
            statements << QStringLiteral(R"(DROP TRIGGER "%1_%2")").arg(LineNames, QString::fromUtf8(trigger));
    }
    return statements;
}

// The index tables of table with their triggers, and for 棚卸マスター its list of names.
QStringList createStatements(Table table)
{
    const Source source = *sourceOf(table);
    QStringList statements;
    if (table == Table::Tana) {
        // One row for each name with each product ID, a missing ID included (a NULL is
        // no value to a plain unique index, hence the two partial ones).
        statements << QStringLiteral(R"(CREATE TABLE "%1" ("番号" INTEGER PRIMARY KEY, "品名" TEXT NOT NULL,
                "品名ID" INTEGER))")
                          .arg(LineNames)
                   << QStringLiteral(R"(CREATE UNIQUE INDEX "%1_組" ON "%1" ("品名", "品名ID")
                WHERE "品名ID" IS NOT NULL)")
                          .arg(LineNames)
                   << QStringLiteral(R"(CREATE UNIQUE INDEX "%1_品名IDなし" ON "%1" ("品名")
                WHERE "品名ID" IS NULL)")
                          .arg(LineNames);
    }
    // The trigram index keeps no copy of the names (content=): it reads them from the
    // source; the short-word index keeps none at all (content=''). Neither keeps positions
    // (detail=none) nor sizes for ranking (columnsize=0): every word is looked up on its
    // own, and the caller's own condition checks the rest.
    statements << QStringLiteral(R"(CREATE VIRTUAL TABLE "%1" USING fts5("%2", content='%3', content_rowid='%4',
            tokenize='trigram', detail=none, columnsize=0))")
                      .arg(NameIndex::indexTable(table, NameIndex::Kind::Trigrams), source.name, source.table,
                           source.id)
               << QStringLiteral(R"(CREATE VIRTUAL TABLE "%1" USING fts5("%2", content='',
            tokenize='ascii', detail=none, columnsize=0))")
                      .arg(NameIndex::indexTable(table, NameIndex::Kind::ShortWords), source.name);
    return statements << triggerStatements(table);
}

// The lines' names are listed by lineNamesFillStatement(), range by range.
QStringList fillStatements(Table table)
{
    if (table == Table::Tana)
        return {};
    const Source source = *sourceOf(table);
    return { QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('rebuild'))")
                 .arg(NameIndex::indexTable(table, NameIndex::Kind::Trigrams)),
             QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") SELECT "%3", %4 FROM "%5")")
                 .arg(NameIndex::indexTable(table, NameIndex::Kind::ShortWords), source.name, source.id,
                      indexedValue(NameIndex::Kind::ShortWords, QStringLiteral("\"%1\"").arg(source.name)),
                      source.table) };
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

// FTS5 merges the pieces of an index as rows go in; with many rows added one by one that
// is a third of the time, so the merging waits until the rows are in (the setting is
// kept in the file: resume puts back the engine's default).
QStringList automergeStatements(Table table, int level)
{
    const QString index = NameIndex::indexTable(table, NameIndex::Kind::ShortWords);
    return { QStringLiteral(R"(INSERT INTO "%1" ("%1", rank) VALUES ('automerge', %2))").arg(index).arg(level) };
}

} // namespace

namespace NameIndex {

QString indexTable(Table table, Kind kind)
{
    if (!sourceOf(table))
        return {};
    return tableName(table) + (kind == Kind::Trigrams ? QStringLiteral("_品名索引") : QStringLiteral("_品名短索引"));
}

QStringList indexTables()
{
    return { indexTable(Table::Tana, Kind::Trigrams), indexTable(Table::Tana, Kind::ShortWords),
             indexTable(Table::Shohin, Kind::Trigrams), indexTable(Table::Shohin, Kind::ShortWords) };
}

QString lineNamesTable()
{
    return LineNames;
}

QStringList createStatements(Engine engine)
{
    // The server's name search is not built here yet.
    if (engine == Engine::Postgres)
        return {};
    QStringList statements;
    for (Table table : IndexedTables)
        statements << ::createStatements(table);
    return statements;
}

QString lineNamesFillStatement()
{
    // The triggers of the list fill its indexes. In ID order, range after range, the names
    // are listed as one statement over all lines would list them.
    return QStringLiteral(R"(INSERT OR IGNORE INTO "%1" ("品名", "品名ID")
        SELECT "品名", "品名ID" FROM "棚卸マスター" WHERE "品名" <> '' AND "ID" > ? AND "ID" <= ? ORDER BY "ID")")
        .arg(LineNames);
}

QStringList upgradeStatements(int fromVersion)
{
    if (fromVersion < 2)
        return createStatements() + ::fillStatements(Table::Shohin);
    // Version 2 indexed every line; its indexes and triggers on 棚卸マスター go (by the
    // same names as the new ones of the list of names).
    QStringList statements;
    for (Kind kind : Kinds) {
        for (const char* trigger : { "追加", "削除", "変更" })
            statements << QStringLiteral(R"(DROP TRIGGER IF EXISTS "%1_%2")")
                              .arg(indexTable(Table::Tana, kind), QString::fromUtf8(trigger));
        statements << QStringLiteral(R"(DROP TABLE IF EXISTS "%1")").arg(indexTable(Table::Tana, kind));
    }
    return statements + ::createStatements(Table::Tana) + ::fillStatements(Table::Tana);
}

QStringList pruneStatements()
{
    return { QStringLiteral(R"(DELETE FROM "%1" WHERE NOT EXISTS (SELECT 1 FROM "棚卸マスター" AS t
        WHERE t."品名ID" IS "%1"."品名ID" AND t."品名" = "%1"."品名"))")
                 .arg(LineNames) };
}

QStringList suspendStatements(Table table)
{
    return sourceOf(table) ? dropTriggerStatements(table) + automergeStatements(table, 0) : QStringList();
}

QStringList resumeStatements(Table table, int firstId)
{
    const std::optional<Source> source = sourceOf(table);
    if (!source)
        return {};
    QStringList statements;
    statements << QStringLiteral(R"(INSERT INTO "%1" (rowid, "%2") SELECT "%3", "%2" FROM "%4" WHERE "%3" >= %5)")
                      .arg(indexTable(table, Kind::Trigrams), source->name, source->id, source->table)
                      .arg(firstId);
    return statements << automergeStatements(table, DefaultAutomerge) << triggerStatements(table);
}

QString insertStatement(Table table, Kind kind)
{
    return QStringLiteral(R"(INSERT INTO "%1" (rowid, "品名") VALUES (?, ?))").arg(indexTable(table, kind));
}

QString lineNameStatement()
{
    return QStringLiteral(R"(INSERT OR IGNORE INTO "%1" ("品名", "品名ID") VALUES (?, ?))").arg(LineNames);
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

bool deleteAllRows(const Database& db, Table table, QString* error)
{
    const QString deleteRows = QStringLiteral(R"(DELETE FROM "%1")").arg(tableName(table));
    const std::optional<Source> source = sourceOf(table);
    if (!source || !db.hasNameIndexes())
        return db.exec(deleteRows, {}, error);
    // Row by row the triggers would take the indexes apart one name at a time (half a
    // minute for a million products); instead they step aside while the table, its list
    // of names and its indexes are emptied at once.
    QStringList statements = dropTriggerStatements(table);
    for (Kind kind : Kinds)
        statements << QStringLiteral(R"(INSERT INTO "%1" ("%1") VALUES ('delete-all'))").arg(indexTable(table, kind));
    if (source->table != tableName(table))
        statements << QStringLiteral(R"(DELETE FROM "%1")").arg(source->table);
    statements << deleteRows << triggerStatements(table);
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

} // namespace NameIndex

namespace {

// How many rows of sql (a query with one bound value, match) there are, counted up to upTo + 1.
std::optional<int> countUpTo(const Database& db, const QString& sql, const QString& match, int upTo)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT count(*) FROM (%1 LIMIT ?)").arg(sql));
    q.addBindValue(match);
    q.addBindValue(upTo + 1);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toInt();
}

struct Probe
{
    QString index;
    QString match; // the words joined with AND
    int fewest = 0; // rows of the index holding the rarest of them; 0 when none holds one
};

// The index of table to look text up in and its rarer words, each in at most about limit
// rows of the index; nullopt when the index cannot answer or every word tried is common.
std::optional<Probe> probe(const Database& db, Table table, const QString& text, int limit)
{
    const NameIndex::Kind kind
        = text.toUcs4().size() < TrigramLength ? NameIndex::Kind::ShortWords : NameIndex::Kind::Trigrams;
    const QString index = NameIndex::indexTable(table, kind);
    const QStringList words = lookupWords(kind, text);
    if (index.isEmpty() || !db.hasNameIndexes() || words.isEmpty())
        return std::nullopt;
    const QString names = QStringLiteral(R"(SELECT rowid AS r FROM "%1" WHERE "%1" MATCH ?)").arg(index);
    // A word found in very many names costs more to read than it narrows the names down:
    // only the rarer words are asked for, each of which has to be in every name that
    // holds the text. Pieces in a few times more names than wanted still narrow the
    // others cheaply; a handful of them is enough, and a text whose first words are all
    // common is left to the scan. (The words are counted in names: a count in lines
    // would read the lines of every name.)
    constexpr int EnoughPieces = 4;
    constexpr int PiecesTried = 8;
    // With one word alone there is nothing to narrow it: it has to be rare enough itself.
    const int upTo = words.size() == 1 ? limit : 2 * limit;
    QStringList rare;
    int fewest = upTo + 1;
    int tried = 0;
    for (const QString& piece : words) {
        const std::optional<int> n = countUpTo(db, names, piece, upTo);
        if (!n)
            return std::nullopt;
        if (*n == 0) // no row holds the text
            return Probe { index, piece, 0 };
        if (*n <= upTo)
            rare << piece;
        fewest = std::min(fewest, *n);
        if (rare.size() == EnoughPieces || ++tried == PiecesTried)
            break;
    }
    if (rare.isEmpty())
        return std::nullopt;
    return Probe { index, rare.join(QStringLiteral(" AND ")), fewest };
}

} // namespace

namespace NameIndex {

std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit)
{
    const std::optional<Probe> found = probe(db, table, text, limit);
    if (!found)
        return std::nullopt;
    // The names found in the index: the products, or the lines' names. The lines are
    // reached from their names through the index on 品名ID.
    const QString subquery = table == Table::Tana
        ? QStringLiteral(R"(SELECT t."ID" AS r FROM "%1" CROSS JOIN "%2" AS n ON n."番号" = "%1".rowid
            CROSS JOIN "棚卸マスター" AS t ON t."品名ID" IS n."品名ID" AND t."品名" = n."品名" WHERE "%1" MATCH ?)")
              .arg(found->index, LineNames)
        : QStringLiteral(R"(SELECT rowid AS r FROM "%1" WHERE "%1" MATCH ?)").arg(found->index);
    if (found->fewest > limit) {
        if (const std::optional<int> n = countUpTo(db, subquery, found->match, limit); !n || *n > limit)
            return std::nullopt;
    }
    return Candidates { subquery, found->match };
}

std::optional<Match> match(const Database& db, Table table, const QString& text, int limit)
{
    const std::optional<Probe> found = probe(db, table, text, limit);
    if (!found)
        return std::nullopt;
    if (found->fewest > limit) {
        // Rarer together: the rows holding all the words are counted.
        const QString names = QStringLiteral(R"(SELECT rowid AS r FROM "%1" WHERE "%1" MATCH ?)").arg(found->index);
        if (const std::optional<int> n = countUpTo(db, names, found->match, limit); !n || *n > limit)
            return std::nullopt;
    }
    return Match { found->index, found->match };
}

} // namespace NameIndex
