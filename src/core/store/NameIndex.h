#pragma once

#include "core/store/Database.h"

#include <QString>
#include <QStringList>
#include <optional>

// Indexes on the names of 棚卸マスター and 仕入商品 that find the few rows whose name may
// contain a text without reading every name. A name containing a text of three characters
// or more holds every three-character piece of it: a trigram index finds those. A text of
// one or two characters is looked up in a second index that holds every character and
// every pair of characters of each name as a word. Both fold case more widely than LIKE
// does, so what they find is only a candidate: the caller keeps its own condition on the
// name, which decides exactly as the plain scan does.
namespace NameIndex {

enum class Kind
{
    Trigrams, // texts of three characters or more
    ShortWords, // texts of one or two characters
};

// The index table of 棚卸マスター or 仕入商品 (empty for the other tables).
QString indexTable(Table table, Kind kind = Kind::Trigrams);
// Every index table.
QStringList indexTables();

// The index tables and the triggers that keep them in step with every insert, update and
// delete; the indexes start empty.
QStringList createStatements();
// Fills the new, empty indexes from their tables, for a file made before they existed.
QStringList fillStatements();

// For many rows added at once: the statements that take the triggers of table's indexes
// away, and those that afterwards add the rows from firstId on to the trigram index in one
// go and put the triggers back. The caller gives the short-word index each new row itself
// (insertStatement with shortWords of its name) while the triggers are away. All of it
// runs inside the caller's transaction, so a rollback puts the triggers back as well.
// Empty for a table without indexes.
QStringList suspendStatements(Table table);
QStringList resumeStatements(Table table, int firstId);
// "INSERT INTO <index> (rowid, 品名) VALUES (?, ?)" for an index of table.
QString insertStatement(Table table, Kind kind);
// The words the short-word index takes for a name, exactly as its triggers make them
// (those remove a row by the same words); a null text for an empty name.
QString shortWords(const QString& name);

// Deletes every row of table; the indexes of 棚卸マスター or 仕入商品 are emptied with it.
// All or nothing, inside a transaction of the caller's or without one.
bool deleteAllRows(const Database& db, Table table, QString* error = nullptr);

// A subquery listing as "r" the IDs of the rows that may contain text, with its one
// bound value.
struct Candidates
{
    QString sql;
    QString value;
};
// The candidates for text when an index of table can answer: the file has the indexes,
// the text can be looked up, and at most limit rows are candidates (for a text found in
// many rows, a scan in the wanted order ends sooner). nullopt otherwise.
std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit);

} // namespace NameIndex
