// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"
#include "core/store/RecordList.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QVariant>

// Lines of 棚卸マスター chosen by a condition, in ID order, every column. Which lines are
// listed is fixed when they are selected: a line edited so that it no longer matches keeps
// its row until the next selection, and every edit goes to the line of its row. Rows are
// read in pages when they are shown, so a selection of any size opens at once. When
// editable, a cell edit is checked and written to the database at once; a refused or
// failed write, or one for a line deleted meanwhile, keeps the old value and is announced.
class LinesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Listing
    {
        // Every field of the line, the ID first; editable.
        WholeLines,
        // The lines whose category is registered (CategorisedLines), without ID and date:
        // 項目ID, 項目分類名, 品名, 数量, 単位, 単価, 価格, 備考, 備考1, 品名ID, 区分調整. Read only;
        // conditions use the names of CategorisedLines::source().
        WithCategoryName,
    };

    explicit LinesModel(QObject* parent = nullptr);
    explicit LinesModel(Listing listing, QObject* parent = nullptr);

    // The database is asked for its connection at every read, so a file opened meanwhile
    // is the one read.
    void setDatabase(const Database* db) { m_lines.setDatabase(db); }
    void setEditable(bool editable) { m_editable = editable; }

    // Lists the lines matching condition (SQL with ? for values; empty: all lines). False
    // when the table could not be read: the list is empty then, which is not "no lines".
    bool select(const QString& condition, const QVariantList& values);
    template<typename Selection> bool select(const Selection& selection)
    {
        return select(selection.condition, selection.values);
    }
    // The lines of one settlement date.
    bool selectDate(QDate date);
    // Selects with the same condition again.
    bool reselect();
    // The engine's text when the last selection failed, empty when it succeeded.
    const QString& failure() const { return m_failure; }
    // Takes a row out of the list, after its line was deleted.
    void removeListedRow(int row);
    // Adds the line with this ID as the last row without choosing the lines again; for a
    // line just added to the table that belongs to the selection.
    void appendLine(int lineId);

    // The ID of the line in a row, 0 for none.
    int lineId(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // A cell edit was not stored; message says why, for the user.
    void editRefused(const QString& message);

private:
    bool isEditable(const QModelIndex& index) const;
    // The field shown in a column.
    const QString& field(int column) const { return m_lines.columns()[column + m_firstColumn]; }

    RecordList m_lines;
    int m_firstColumn = 0; // fields before it are read but not shown
    QString m_condition;
    QVariantList m_values;
    QString m_failure;
    bool m_editable = false;
};
