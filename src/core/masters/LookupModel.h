// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Database.h"

#include <QAbstractListModel>
#include <QVariant>
#include <vector>

// The list of a look-up combo: the names of a master that contain the typed text, in
// pages fetched as the list is scrolled, so a master of any size lists at once.
class LookupModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum class Kind
    {
        Category, // 項目分類, 項目ID >= 1, by ID
        AnyCategory, // 項目分類 including the reserved 0, by ID
        Product, // 仕入商品, by name
        Unit, // 単位, by name
    };
    static constexpr int IdRole = Qt::UserRole;

    explicit LookupModel(Kind kind, QObject* parent = nullptr);

    // The database is asked for its connection at every read, so a file opened meanwhile
    // is the one read.
    void setDatabase(const Database* db) { m_db = db; }
    // Lists the rows whose name contains text (every row for an empty text).
    void refresh(const QString& text);
    // The ID of the first match, null when nothing matches.
    QVariant firstId() const;
    // The engine's text when the last read failed (another program holding the file, for
    // one: the list never waits for it), empty when it succeeded.
    const QString& failure() const { return m_failure; }
    const QString& text() const { return m_text; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    static constexpr int PageSize = 100;

private:
    struct Row
    {
        int id;
        QString name;
    };
    std::vector<Row> fetchPage(int offset);

    Kind m_kind;
    const Database* m_db = nullptr;
    QString m_text;
    std::vector<Row> m_rows;
    bool m_complete = true;
    QString m_failure;
};
