// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"
#include "core/store/RecordList.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <vector>

// What a master list is made of: its table, its columns in table order (the identity
// first, the name second), the records it never lists and the column holding a number.
struct MasterTable
{
    Table table;
    QStringList columns;
    QString condition; // SQL over the table's columns; empty: every record
    int numberColumn = -1; // typed as a number; -1: none
    // Columns shown after the table's, read-only, with where they are read: a
    // parenthesised SELECT of the table's columns and these (empty: the table alone).
    QStringList shownColumns = {};
    std::function<QString(const Database& db)> source = {};

    QString idColumn() const { return columns.value(0); }
    QString nameColumn() const { return columns.value(1); }

    static const MasterTable& categories();
    static const MasterTable& units();
    static const MasterTable& products();
};

enum class MasterOrder
{
    ById,
    ByName
};

// The records of one master list, shared by a grid and the edit boxes of a master screen.
//
// Opening reads only the identities, in the chosen order; the fields are read a page at a
// time when a row is shown, so a list of any length opens at once. The membership is fixed
// at opening, as a static cursor's: a record added later is appended at the end, whatever
// the order, and a deleted one leaves the list.
//
// An edit is held as the record's pending change until it is saved, so what the grid and
// the boxes show is the record as edited. Additions and deletions are written at once.
class MasterModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit MasterModel(const MasterTable& table, QObject* parent = nullptr);

    // The database is asked for its connection at every read.
    void setDatabase(const Database* db)
    {
        m_db = db;
        m_records.setDatabase(db);
    }
    const MasterTable& table() const { return m_table; }

    // Reads the list again in the given order; pending changes are dropped, so save them
    // first. False with the driver's text when the table cannot be read: the list is empty then.
    bool open(MasterOrder order, QString* error = nullptr);

    // The identity of the record in a row, 0 for none; the row of a record, -1 for none.
    int recordId(int row) const;
    int rowOfRecord(int id) const;

    // Writes a new record with the table's next ID and nothing else, and appends it.
    // Returns its row, or -1 with the driver's text when it could not be written.
    int addRecord(QString* error = nullptr);
    // Deletes a record from the table and the list; its pending change goes with it.
    bool removeRecord(int row, QString* error = nullptr);

    bool hasPendingChange(int row) const;
    bool hasPendingChanges() const { return !m_pending.empty(); }
    // Writes the pending change of a record; a failed write keeps it pending. A record
    // deleted meanwhile (by another program on the same file) cannot take its change: the
    // change is dropped and announced with editRefused.
    bool save(int row, QString* error = nullptr);
    // Writes every pending change; stops at the first failure.
    bool saveAll(QString* error = nullptr);
    // A record was changed elsewhere (its codes, say): it is read again.
    void reread(int id);
    // The row of the first record at or after row (wrapping round) whose name contains
    // text; -1 when none does.
    int findName(const QString& text, int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Holds the value as the record's pending change. Text in the number column that is
    // no number is refused and announced. The identity cannot be edited.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    static constexpr int PageSize = RecordList::PageSize;

Q_SIGNALS:
    // An edit was not taken; message says why, for the user.
    void editRefused(const QString& message);

private:
    QVariant valueAt(int row, int column) const;
    bool saveRecord(int id, QString* error);

    const MasterTable& m_table;
    const Database* m_db = nullptr;
    RecordList m_records;
    std::map<int, std::map<int, QVariant>> m_pending; // record ID → column → value
};
