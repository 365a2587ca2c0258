// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// The encodings a tab-delimited file is read in. A byte-order mark decides UTF-8 and
// UTF-16; without one, UTF-16 is known by its NUL bytes, text that is valid UTF-8 is read
// as UTF-8, anything else as code page 932 (windows-31j), the encoding of older
// spreadsheet programs.
enum class TextEncoding
{
    Utf8,
    Utf16LE,
    Utf16BE,
    Cp932
};

// One record of the file: its fields and the line (1-based, as an editor counts lines)
// it starts on. A quoted field may hold tabs and line breaks, so a record can span lines.
struct TabRecord
{
    qint64 line = 0;
    QStringList fields;
};

// Reads a tab-delimited text file record by record, as spreadsheet programs write it:
// CRLF, LF or CR line ends; fields quoted when they hold a tab, a quote or a line break
// ("a""b" is a"b); empty lines at the end of the file end it and are no records.
// Text that is not valid in the file's encoding stops the reading with an error naming
// its line; nothing is ever replaced silently. Reads in blocks: memory does not grow
// with the size of the file.
//
// In detail:
// - A field is quoted only when its first character is a quote. Inside it "" is one
//   quote, and tabs and line breaks belong to the field; a line break is kept as one LF
//   whatever its form. Text after the closing quote up to the next tab or line end is
//   kept as it stands ("ab"c is abc). A quote anywhere else is an ordinary character.
//   A quoted field still open at the end of the file is an error naming the line the
//   field started on.
// - Lines are counted as an editor counts them: CRLF, LF and CR each end one line, line
//   breaks inside quoted fields included, so TabRecord::line of the record after a
//   multi-line field is the line it really starts on.
// - A record whose fields are all empty (an empty line, or one of tabs alone, as a
//   spreadsheet writes an empty row) is a record like any other in the middle of the
//   file: an empty line is one empty field. Such records at the end of the file, with
//   nothing but more of them after them, are the end of the file and no records
//   (unless there are thousands of them in changing widths: then they are records).
// - Without a byte-order mark the whole file is looked at first: valid UTF-8 is UTF-8.
//   A file whose UTF-8 sequences far outnumber its broken ones (four to one) is UTF-8
//   with a fault, reported with its line; anything else is code page 932.
// - UTF-16 without a byte-order mark is known by its NUL bytes (the high byte of every
//   tab, line end and digit): NULs mostly in odd bytes are little-endian, mostly in even
//   bytes big-endian, as far as the first 64 KiB show.
// - Any other NUL character is an error (the file is no text). So is a record of more
//   than 16384 fields or 1048576 characters.
class TabFileReader
{
public:
    TabFileReader();
    ~TabFileReader();
    TabFileReader(const TabFileReader&) = delete;
    TabFileReader& operator=(const TabFileReader&) = delete;

    // False when the file cannot be opened; errorText() says why.
    bool open(const QString& path);
    // Reads the given bytes instead of a file (tests, the fuzz target).
    bool openData(const QByteArray& data);
    // Reads in blocks of at most this many bytes (at least 4) from the next open on; the
    // default is 256 KiB. Small blocks put every character and line end astride a block's
    // edge (tests, the fuzz target): the records must come out the same.
    void setBlockSize(qsizetype bytes);

    TextEncoding encoding() const;

    // The next record; false at the end of the file or on an error (hasError()).
    bool next(TabRecord& record);

    bool hasError() const;
    // The reason, in Japanese, without the line number; errorLine() gives the line.
    QString errorText() const;
    qint64 errorLine() const;

    // Bytes consumed so far and the file's size, for a progress bar.
    qint64 position() const;
    qint64 size() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The fields of the file's first record (its heading line); an empty list with the
// reason in error when the file cannot be read.
QStringList readHeading(const QString& path, QString* error = nullptr);
