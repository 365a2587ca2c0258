// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QCache>
#include <QStringList>
#include <QVariantList>
#include <vector>

// What the user is told when a change was for a record that has been deleted meanwhile
// (by another program with the same file open).
inline constexpr auto RecordGoneMessage = "このデータは他のプログラムで削除されています。変更は保存されていません。";

// Records of one table chosen once, as a static cursor holds them: which records and in
// what order is fixed when they are chosen, whatever is written to them afterwards. Only
// the identities are read then; the fields are read by identity a page at a time when a
// row is asked for, and a bounded number are kept. A record deleted meanwhile keeps its
// row and has no fields.
class RecordList
{
public:
    // columns: the fields read for a row, the identity first.
    RecordList(Table table, QStringList columns);
    // Records of a source other than a table: a parenthesised SELECT whose result names
    // the columns (a join, for instance), read the same way.
    RecordList(QString source, QStringList columns);

    // The database is asked for its connection at every read.
    void setDatabase(const Database* db) { m_db = db; }
    // Reads from another source (a table's quoted name or a parenthesised SELECT) from the
    // next choose() on.
    void setSource(QString source) { m_source = std::move(source); }
    const Database* database() const { return m_db; }
    const QStringList& columns() const { return m_columns; }

    // Chooses the records matching condition (SQL with ? for values; empty: all) in the
    // order given (SQL; empty: by identity). False with the driver's text when the table
    // cannot be read: the list is empty then.
    bool choose(const QString& condition, const QVariantList& values, const QString& order = {},
                QString* error = nullptr);
    void clear();

    int size() const { return int(m_ids.size()); }
    // The identity of the record in a row, 0 for none; the row of a record, -1 for none.
    int id(int row) const { return row >= 0 && row < size() ? m_ids[size_t(row)] : 0; }
    int rowOf(int id) const;
    // The fields of the record in a row, in the order of columns(); null when the record is gone.
    const QVariantList* fields(int row) const;

    // The record's fields are read again the next time they are asked for.
    void forget(int id) { m_fields.remove(id); }
    void append(int id) { m_ids.push_back(id); }
    void removeAt(int row);

    static constexpr int PageSize = 256;
    static constexpr int CachedRecords = 16 * PageSize;

private:
    QString quotedColumns() const;

    QString m_source;
    QStringList m_columns;
    const Database* m_db = nullptr;
    std::vector<int> m_ids;
    mutable QCache<int, QVariantList> m_fields { CachedRecords };
};
