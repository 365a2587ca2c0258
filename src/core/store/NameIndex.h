#pragma once

#include "core/store/Database.h"

#include <QString>
#include <QStringList>
#include <optional>

// Trigram indexes on the names of 棚卸マスター and 仕入商品. A name containing a text of
// three characters or more holds every three-character piece of it, so the index finds
// the few rows that may contain the text without reading every name. The index folds
// case more widely than LIKE does, so what it finds is only a candidate: the caller keeps
// its own condition on the name, which decides exactly as the plain scan does.
namespace NameIndex {

// Shorter texts have no three-character piece to look up.
inline constexpr int MinimumLength = 3;

// The index table of 棚卸マスター or 仕入商品 (empty for the other tables).
QString indexTable(Table table);

// The index tables and the triggers that keep them in step with every insert, update and
// delete; the indexes start empty (see rebuildStatement).
QStringList createStatements();
// Deletes every row of table; the index of 棚卸マスター or 仕入商品 is emptied with it.
// All or nothing, inside a transaction of the caller's or without one.
bool deleteAllRows(const Database& db, Table table, QString* error = nullptr);

// Fills an index from its table, for a file made before the indexes existed.
QString rebuildStatement(Table table);

// A subquery listing as "r" the IDs of the rows that may contain text, with its one
// bound value.
struct Candidates
{
    QString sql;
    QString value;
};
// The candidates for text when the index of table can answer: the file has the index,
// the text is long enough, and at most limit rows are candidates (for a text found in
// many rows, a scan in the wanted order ends sooner). nullopt otherwise.
std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit);

} // namespace NameIndex
