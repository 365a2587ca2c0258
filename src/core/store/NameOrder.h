// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Engine.h"

#include <QSqlDatabase>
#include <QString>

// Names listed in the order a Japanese reader expects (ICU's Japanese collation): kana by
// the gojūon with long vowels, voiced and small kana in place, half- and full-width forms
// side by side, digits and Latin letters before kana as dictionaries have them, kanji in
// the collation's order.
//
// The order is made known to each connection when it is opened (install), never stored in
// the file: no index, view or column of the schema names it, so the sqlite3 shell and any
// other program read the file as before. Statements ask for the order through orderBy().
namespace NameOrder {

// The collation's name in SQL. PostgreSQL's ICU gives its Japanese collation the same
// name (of the same ICU library, tertiary strength by default), so "COLLATE" with it means
// the same order on either engine; a server orders by it directly.
inline constexpr auto Collation = "ja-x-icu";
// The function that gives a name's sort key (a BLOB; NULL for NULL) under the collation:
// sorting by the keys is sorting by the collation, but each name is turned into its key
// once instead of at every comparison.
inline constexpr auto KeyFunction = "ja_sort_key";

// Registers the collation and the key function on an open SQLite connection, each with a
// Japanese collator of its own (connections are used on other threads). False when the
// connection is not one of the SQLite library this program is linked with or ICU has no
// Japanese collation; statements asking for the order then fail on that connection.
bool install(const QSqlDatabase& db);

// The ORDER BY terms of a list by name: the Japanese order, then, for names the collation
// holds equal (ｱ and ア), the names' own characters, then the identity, so the order is
// the same at every run and on either engine. name and id are SQL expressions (quoted
// columns); id may be empty.
QString orderBy(Engine engine, const QString& name, const QString& id = {});

// An ORDER BY term listing name by its characters' code points (SQLite's BINARY), whatever
// collation a server's database was made with.
QString byCharacters(Engine engine, const QString& name);

} // namespace NameOrder
