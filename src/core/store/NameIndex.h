// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
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
//
// The products are indexed row by row. The lines are not: a million lines hold a few
// thousand names, so the indexes hold the list of the distinct pairs of name and product
// ID of the lines (kept by triggers on 棚卸マスター), and a line is found from its pair
// through the index on 品名ID. A pair stays listed after its last line is renamed or
// deleted; that costs nothing but a candidate that the caller's condition drops, and
// pruneStatements() clears them out.
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
// The list of the lines' distinct names with their product IDs, which the indexes of
// 棚卸マスター hold.
QString lineNamesTable();

// The tables, triggers and indexes, empty, for a database of engine.
QStringList createStatements(Engine engine = Engine::Sqlite);
// What brings the indexes of a file of schema version 1 or 2 up to date, the products'
// rows included; lineNamesFillStatement() then lists the names of the lines.
QStringList upgradeStatements(int fromVersion);
// Lists the names of the lines whose ID is above the first bound value and up to the
// second (their indexes are filled by the triggers of the list); run over every range of
// IDs in order, it lists what one statement over all lines would.
QString lineNamesFillStatement();
// Takes out of the line names those no line carries any more.
QStringList pruneStatements();

// For many rows added at once: the statements that take away the triggers that keep the
// indexes of table in step, and those that afterwards fill the trigram index from the
// rows of its source from firstId on and put the triggers back. While the triggers are
// away the caller adds to the short-word index itself (insertStatement with shortWords of
// the name); for 棚卸マスター it also adds each new pair of name and product ID to the line
// names (lineNameStatement; an empty name is not listed), and firstId is the first number
// of those. All of it runs inside the caller's transaction, so a rollback puts the
// triggers back as well. Empty for a table without indexes.
QStringList suspendStatements(Table table);
QStringList resumeStatements(Table table, int firstId);
// "INSERT INTO <index> (rowid, 品名) VALUES (?, ?)" for an index of table.
QString insertStatement(Table table, Kind kind);
// Adds name (1) with product ID (2) to the line names unless it is there already.
QString lineNameStatement();
// The words the short-word index takes for a name, exactly as its triggers make them
// (those remove a row by the same words); a null text for an empty name.
QString shortWords(const QString& name);

// Deletes every row of table; the indexes of 棚卸マスター or 仕入商品 are emptied with it.
// All or nothing, inside a transaction of the caller's or without one.
bool deleteAllRows(const Database& db, Table table, QString* error = nullptr);

// A subquery listing as "r" the IDs of the rows of table that may contain text, with its
// one bound value.
struct Candidates
{
    QString sql;
    QString value;
};
// The candidates for text when an index of table can answer: the file has the indexes,
// the text can be looked up, and at most limit names hold it (for a text found in many
// names, a scan in the wanted order ends sooner). For 仕入商品 a name is a row; for
// 棚卸マスター it is a name with a product ID, which may stand for many lines: the caller
// reads them in parts (the subquery's r over an ID range is one index seek a name).
// nullopt otherwise.
std::optional<Candidates> candidates(const Database& db, Table table, const QString& text, int limit);

// The index of table to look text up in, and the words to ask it for (for its MATCH), when
// the file has the indexes, the text can be looked up, and at most limit rows of the index
// (products, or the lines' names) hold those words. nullopt otherwise.
struct Match
{
    QString index;
    QString words;
};
std::optional<Match> match(const Database& db, Table table, const QString& text, int limit);

} // namespace NameIndex
