// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Feeds arbitrary bytes to the tab-delimited file reader and to the import mapping
// readers, and checks what every caller relies on: records come in the order of their
// lines, each has a field, an error names a line and reading stops after it; read again
// in small blocks, the bytes give the same records and the same fault.
// Built for libFuzzer with -DKOTRINA_FUZZ=ON; the replay driver runs the corpus in ctest.

#include "core/imports/ImportMapping.h"
#include "core/imports/TabFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Every record as one text, then the fault: what a reading produced.
QString readAll(TabFileReader& reader, QStringList& heading)
{
    QString result;
    TabRecord record;
    qint64 previous = 0;
    while (reader.next(record)) {
        require(record.line > previous);
        require(!record.fields.isEmpty());
        require(reader.position() <= reader.size());
        if (previous == 0)
            heading = record.fields;
        previous = record.line;
        result += QString::number(record.line) + QLatin1Char(':') + record.fields.join(QChar(0)) + QChar(1);
    }
    if (reader.hasError()) {
        require(reader.errorLine() >= 1 && reader.errorLine() >= previous);
        require(!reader.errorText().isEmpty());
        result += QString::number(reader.errorLine()) + reader.errorText();
    } else {
        require(reader.position() == reader.size());
    }
    require(!reader.next(record));
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TabFileReader reader;
    QStringList heading;
    require(reader.openData(bytes));
    const QString whole = readAll(reader, heading);
    // Read again in small blocks: every sequence and line end astride a block's edge.
    TabFileReader blocks;
    blocks.setBlockSize(4 + static_cast<qsizetype>(size % 13));
    QStringList ignored;
    require(blocks.openData(bytes));
    require(blocks.encoding() == reader.encoding());
    require(readAll(blocks, ignored) == whole);

    for (ImportKind kind : { ImportKind::Lines, ImportKind::Products }) {
        ImportMapping mapping(kind);
        if (mapping.readData(bytes)) {
            for (int field = 1; field <= mapping.fieldCount(); ++field)
                require(mapping.columnNumber(field) >= 0);
        }
        QString error;
        const std::optional<ImportMapping> parsed
            = ImportMapping::parse(kind, QString::fromUtf8(bytes), heading, &error);
        if (parsed) {
            for (int field = 1; field <= parsed->fieldCount(); ++field)
                require(parsed->columnNumber(field) <= heading.size());
        } else {
            require(!error.isEmpty());
        }
    }
    return 0;
}
