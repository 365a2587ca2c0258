// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"
#include "core/store/Database.h"

#include <QAbstractTableModel>
#include <QList>
#include <optional>

// The entries of a date's change history that a search finds, in the order they were written,
// for a grid: 日時, 端末, 種類, ID, 品名, 金額, 内容. How many there are is counted when they
// are chosen; the entries themselves are read a page at a time as the grid scrolls down to
// them, so a history of any size opens at once.
class HistoryListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        Time,
        Station,
        Kind,
        LineId,
        Name,
        Amount,
        Content,
        ColumnCount
    };
    static constexpr int PageSize = 256;

    explicit HistoryListModel(QObject* parent = nullptr);

    // The database is asked for its connection at every read.
    void setDatabase(const Database* db) { m_db = db; }

    // Chooses the entries of filter and reads the first page. False when the history cannot be
    // read (a file without one, opened read-only, or a refusal): the list is empty then.
    bool select(const ChangeHistory::Filter& filter);
    void clear();

    // How many entries the search found, read or not.
    qint64 found() const { return m_found; }
    const ChangeHistory::Filter& filter() const { return m_filter; }
    // The entry of a row already read; null for none.
    const ChangeHistory::Entry* entry(int row) const;
    // A page could not be read: the list stops where it is.
    bool failed() const { return m_failed; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    bool readPage();

    const Database* m_db = nullptr;
    ChangeHistory::Filter m_filter;
    QList<ChangeHistory::Entry> m_entries;
    qint64 m_found = 0;
    bool m_more = false;
    bool m_failed = false;
};
