// Feeds arbitrary bytes to the tab-delimited file reader and to the import mapping
// readers, and checks what every caller relies on: records come in the order of their
// lines, each has a field, an error names a line and reading stops after it.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TabFileReader reader;
    QStringList heading;
    if (reader.openData(bytes)) {
        TabRecord record;
        qint64 previous = 0;
        while (reader.next(record)) {
            require(record.line > previous);
            require(!record.fields.isEmpty());
            if (previous == 0)
                heading = record.fields;
            previous = record.line;
            require(reader.position() <= reader.size());
        }
        if (reader.hasError()) {
            require(reader.errorLine() >= 1 && reader.errorLine() >= previous);
            require(!reader.errorText().isEmpty());
        }
        require(!reader.next(record));
    } else {
        require(reader.hasError());
    }

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
