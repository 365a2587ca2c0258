// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

struct lxw_workbook;
struct lxw_worksheet;

// A workbook of one sheet, "Sheet1", written row by row in the writer's constant-memory
// mode: a row goes to disk as the next one starts, so a long list costs no memory.
// Everything goes to a temporary file beside the target, which takes the target's place
// only when finish() succeeds; a failure or an abandoned writer leaves the target as it was.
// Errors are texts for the user, in Japanese.
class SheetWriter
{
public:
    enum class Kind
    {
        Text, // written as a string, whatever it holds ("0123" stays "0123")
        Number, // written as a number; a value that is no number is written as it reads
    };
    struct Column
    {
        QString heading;
        Kind kind;
    };

    // Rows one sheet holds, the heading row included.
    static constexpr qint64 MaxRows = 1048576;

    explicit SheetWriter(const QString& target);
    ~SheetWriter();
    SheetWriter(const SheetWriter&) = delete;
    SheetWriter& operator=(const SheetWriter&) = delete;

    // Starts the temporary file and writes the heading row.
    bool begin(const QList<Column>& columns, QString* error);
    // One row, a value per column; a null value leaves its cell empty.
    void addRow(const QVariantList& values);
    // Completes the workbook and puts it in the target's place.
    bool finish(QString* error);

private:
    bool failed(QString* error, int code);

    QString m_target;
    QString m_temp;
    QList<Column> m_columns;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    quint32 m_row = 0;
    int m_writeError = 0;
    QString m_problem; // a row the format cannot hold
};
