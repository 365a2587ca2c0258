#pragma once

#include "core/store/Database.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QVariant>
#include <map>
#include <vector>

// Lines of 棚卸マスター chosen by a condition, in ID order, every column. Rows are read in
// pages when they are shown, so a selection of any size opens at once and memory stays
// bounded to the pages looked at. When editable, a cell edit is checked and written to
// the database at once; a refused or failed write keeps the old value and is announced.
class LinesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit LinesModel(QObject* parent = nullptr);

    // The database is asked for its connection at every read, so a file opened meanwhile
    // is the one read.
    void setDatabase(const Database* db) { m_db = db; }
    void setEditable(bool editable) { m_editable = editable; }

    // Lists the lines matching condition (SQL with ? for values; empty: all lines).
    void select(const QString& condition, const QVariantList& values);
    template<typename Selection> void select(const Selection& selection)
    {
        select(selection.condition, selection.values);
    }
    // The lines of one settlement date.
    void selectDate(QDate date);
    // Reads the same selection again.
    void reselect();
    // Adds the line with this ID as the last row without reading the selection again; for
    // a line just added to the table that belongs to the selection and has the largest ID.
    void appendLine(int lineId);

    // The ID of the line in a row, 0 for none.
    int lineId(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    static constexpr int PageSize = 256;
    static constexpr int CachedPages = 16;

Q_SIGNALS:
    // A cell edit was not stored; message says why, for the user.
    void editRefused(const QString& message);

private:
    const std::vector<QVariantList>* page(int number) const;
    void keepPage(int number, std::vector<QVariantList> rows) const;
    void dropPages();

    const Database* m_db = nullptr;
    QString m_condition;
    QVariantList m_values;
    bool m_editable = false;
    int m_count = 0;
    QStringList m_columns;
    mutable std::map<int, std::vector<QVariantList>> m_pages;
    mutable std::vector<int> m_pageOrder; // least recently read first
};
