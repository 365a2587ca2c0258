#pragma once

#include "store/Database.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QVariant>
#include <map>
#include <vector>

// The lines of one settlement date in ID order, every column of 棚卸マスター. Rows are
// read in pages when they are shown, so a date with a hundred thousand lines opens at
// once and memory stays bounded to the pages looked at.
class DayLinesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DayLinesModel(QObject* parent = nullptr);

    // The database is asked for its connection at every read, so a file opened meanwhile
    // is the one read.
    void setDatabase(const Database* db) { m_db = db; }
    // Lists the lines of the date (again, after lines were added or deleted).
    void load(QDate date);
    QDate date() const { return m_date; }

    // The ID of the line in a row, 0 for none.
    int lineId(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static constexpr int PageSize = 256;
    static constexpr int CachedPages = 16;

private:
    const std::vector<QVariantList>* page(int number) const;

    const Database* m_db = nullptr;
    QDate m_date;
    int m_count = 0;
    QStringList m_columns;
    mutable std::map<int, std::vector<QVariantList>> m_pages;
    mutable std::vector<int> m_pageOrder; // least recently read first
};
