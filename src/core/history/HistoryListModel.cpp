// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/history/HistoryListModel.h"

#include "core/history/HistorySearch.h"
#include "core/rules/TextRules.h"

HistoryListModel::HistoryListModel(QObject* parent)
    : QAbstractTableModel(parent)
{ }

bool HistoryListModel::select(const ChangeHistory::Filter& filter)
{
    beginResetModel();
    m_filter = filter;
    m_entries.clear();
    m_found = 0;
    m_more = false;
    m_failed = false;
    // The first page first: a search that fits on it is counted by it, without a second pass
    // over the history; only a longer one is counted.
    bool ok = m_db != nullptr && readPage();
    if (ok && m_entries.size() == PageSize) {
        const std::optional<qint64> found = ChangeHistory::count(*m_db, filter);
        ok = found.has_value();
        m_found = std::max<qint64>(found.value_or(0), m_entries.size());
    } else {
        m_found = m_entries.size();
    }
    m_more = ok && m_entries.size() < m_found;
    if (!ok) {
        m_entries.clear();
        m_found = 0;
        m_more = false;
    }
    endResetModel();
    return ok;
}

void HistoryListModel::clear()
{
    beginResetModel();
    m_entries.clear();
    m_found = 0;
    m_more = false;
    m_failed = false;
    endResetModel();
}

bool HistoryListModel::readPage()
{
    const qint64 after = m_entries.isEmpty() ? 0 : m_entries.constLast().number;
    const std::optional<QList<ChangeHistory::Entry>> page = ChangeHistory::page(*m_db, m_filter, after, PageSize);
    if (!page) {
        m_failed = true;
        m_more = false;
        return false;
    }
    m_entries += *page;
    return true;
}

const ChangeHistory::Entry* HistoryListModel::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? &m_entries[row] : nullptr;
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int HistoryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool HistoryListModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_more && m_db;
}

void HistoryListModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = int(m_entries.size());
    const qint64 after = m_entries.isEmpty() ? 0 : m_entries.constLast().number;
    const std::optional<QList<ChangeHistory::Entry>> page = ChangeHistory::page(*m_db, m_filter, after, PageSize);
    if (!page || page->isEmpty()) {
        m_failed = !page;
        m_more = false;
        return;
    }
    beginInsertRows({}, first, first + int(page->size()) - 1);
    m_entries += *page;
    endInsertRows();
    m_more = page->size() == PageSize && m_entries.size() < m_found;
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    const ChangeHistory::Entry* e = index.isValid() ? entry(index.row()) : nullptr;
    if (!e)
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == LineId || index.column() == Amount ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                    : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Time:
        return HistorySearch::timeText(e->time);
    case Station:
        return e->station;
    case Kind:
        return e->kindName;
    case LineId:
        return e->lineId ? QString::number(e->lineId) : QString();
    case Name:
        return e->name;
    case Amount:
        return e->amount ? TextRules::formatAmount(*e->amount) : QString();
    case Content:
        // Everything the entry holds in the tip, as the export writes it.
        return role == Qt::ToolTipRole ? ChangeHistory::describe(*e) : HistorySearch::contentText(*e, m_filter.date);
    default:
        return {};
    }
}

QVariant HistoryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList headings
        = { QStringLiteral("日時"), QStringLiteral("端末"), QStringLiteral("種類"), QStringLiteral("ID"),
            QStringLiteral("品名"), QStringLiteral("金額"), QStringLiteral("内容") };
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headings.size())
        return headings[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}
