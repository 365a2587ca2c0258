// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed and memory of the tab-delimited file reader on a shop-sized import file.
//   bench_tabfile [LINES]   (default 1,000,000; the files are made in the temporary folder)
// Reads the same lines in code page 932, UTF-8 and UTF-16 LE, three times each.

#include "BenchData.h"
#include "ImportFileData.h"
#include "core/imports/TabFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <ctime>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ImportFileSize size;
    if (argc > 1)
        size.lines = QByteArray(argv[1]).toLongLong();
    const struct
    {
        TextEncoding encoding;
        const char* name;
    } encodings[]
        = { { TextEncoding::Cp932, "cp932" }, { TextEncoding::Utf8, "utf8" }, { TextEncoding::Utf16LE, "utf16le" } };
    for (const auto& [encoding, name] : encodings) {
        const QString path = QDir::temp().filePath(
            QStringLiteral("kotrina-tabfile-%1-%2.txt").arg(size.lines).arg(QLatin1String(name)));
        QString error;
        if (!QFileInfo::exists(path) && !writeImportFile(path, encoding, size, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
            QFile::remove(path);
            return 1;
        }
        std::printf("%s: %.1f MB\n", qPrintable(path), QFileInfo(path).size() / 1e6);
        resetPeakResident();
        const double before = residentMegabytes();
        qint64 records = 0;
        qint64 fields = 0;
        bool ok = true;
        const QString what = QStringLiteral("read %1 lines (%2)").arg(size.lines).arg(QLatin1String(name));
        const std::clock_t cpuStart = std::clock();
        measure(qPrintable(what), 3, [&](int) {
            TabFileReader reader;
            TabRecord record;
            records = 0;
            fields = 0;
            reader.open(path);
            while (reader.next(record)) {
                ++records;
                fields += record.fields.size();
            }
            if (reader.hasError() || reader.encoding() != encoding) {
                std::fprintf(stderr, "line %lld: %s\n", reader.errorLine(), qPrintable(reader.errorText()));
                ok = false;
            }
        });
        std::printf(
            "  %lld records, %lld fields; %.0f ms processor time a run; resident %.1f MB before, peak %.1f MB\n",
            records, fields, 1000.0 * double(std::clock() - cpuStart) / CLOCKS_PER_SEC / 3, before,
            residentMegabytes("VmHWM"));
        if (!ok)
            return 1;
    }
    return 0;
}
