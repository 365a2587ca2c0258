#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

// The encodings a tab-delimited file is read in. A byte-order mark decides UTF-8 and
// UTF-16; without one, text that is valid UTF-8 is read as UTF-8, anything else as
// code page 932 (windows-31j), the encoding of older spreadsheet programs.
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
