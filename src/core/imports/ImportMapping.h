// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// What an import brings in: counted lines of one settlement date, or products.
enum class ImportKind
{
    Lines,
    Products
};

// The importable fields' labels in their fixed order (field 1 first): 7 for lines
// (項目/分類名, 品名, 数量, 単位, 単価, 価格, 備考), 4 for products (品名, 単位, 単価, JANコード).
const QStringList& importFieldLabels(ImportKind kind);
// How many of them the mapping files have held from the start (7 and 3): a file written
// before the later ones were added names these only.
int firstFieldsCount(ImportKind kind);
// The 1-based field holding the product name (2 for lines, 1 for products).
int nameField(ImportKind kind);

// A field whose saved column no longer carries the heading the assignment was saved with,
// as found in a file's heading line.
struct HeadingDifference
{
    int field = 0; // 1-based
    QString saved; // the heading saved with the column; empty when only its position was kept
    int column = 0; // the saved position, 1-based
    std::optional<QString> found; // the file's heading at that position; nullopt when the file is narrower
    int movedTo = 0; // the column now headed like saved, 0 when there is none

    // "保存時の見出しは「分類」、ファイルの 1 列目は「商品」（「分類」は 2 列目）"
    QString text() const;
};

// Which column of the file feeds each importable field: the column's heading and its
// 1-based position, or nothing. Kept between runs in a small UTF-8 text file in the
// data directory ("Kotrina_A.log" for lines, "Kotrina_B.log" for products): for each
// field its column name (an empty line when none), then its column number ("0" when
// none), each line ended by CRLF. A file without the pairs of the fields added later
// (the products' JANコード) reads with those fields unassigned (see assignUnnamedFields).
class ImportMapping
{
public:
    explicit ImportMapping(ImportKind kind);

    ImportKind kind() const { return m_kind; }
    int fieldCount() const;

    // field is 1-based. An unassigned field has an empty name and column 0.
    QString columnName(int field) const;
    int columnNumber(int field) const;
    bool isAssigned(int field) const;
    void assign(int field, const QString& name, int column);
    void clear(int field);

    static QString fileName(ImportKind kind);

    // False when the file is missing or unreadable; the mapping is then unchanged.
    bool read(const QString& path);
    // The same from the file's bytes. Items are separated by line ends or commas, so a
    // file of "name,number" lines is read as well; a name written between quotes (as one
    // holding a comma is) is taken whole. False, the mapping unchanged, when the bytes are
    // not UTF-8 or hold too few items or a column number that is none.
    bool readData(const QByteArray& bytes);
    // A mapping read from a file written before the later fields were added gives each
    // field the file could not name the column headed like the field's label, if there is
    // one: its user never left it out. Other mappings stay as they are.
    void assignUnnamedFields(const QStringList& headings);

    // Replaces the file as a whole (a cut-short write never leaves half a file).
    bool write(const QString& path, QString* error = nullptr) const;

    // The assigned fields whose column in a file with these headings is not the one saved:
    // its heading differs from the saved one (blanks at the ends do not count), the file has
    // no such column, or no heading was saved with it. In field order.
    QList<HeadingDifference> differences(const QStringList& headings) const;

    // Whether a saved heading is found nowhere in the file's heading line although some
    // were saved: the file's first line is most likely no heading line at all.
    bool noSavedHeadingIn(const QStringList& headings) const;
    // What to do about such a file.
    static QString headingLineHint();

    // Whether a file's heading is the one saved: blanks at the ends do not count, as a
    // spreadsheet may pad a cell.
    static bool sameHeading(const QString& a, const QString& b);

    // Each field whose label equals a heading gets that column.
    static ImportMapping fromHeadings(ImportKind kind, const QStringList& headings);

    // From the command line: "品名=商品,数量=#3" — a field label, then a heading of the
    // file or #N for its N-th column, or nothing ("備考=") to leave the field empty. A field
    // not named takes the column headed like its label, as fromHeadings. nullopt with a
    // Japanese reason in error when a label or a heading is unknown or a column is out of range.
    static std::optional<ImportMapping> parse(ImportKind kind, const QString& text, const QStringList& headings,
                                              QString* error = nullptr);

private:
    ImportKind m_kind;
    QStringList m_names;
    QVector<int> m_columns;
    bool m_namesEveryField = true; // false when read from a file without the later fields
};
