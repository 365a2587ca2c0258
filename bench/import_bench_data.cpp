// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The files of bench/import_bench.sh:
//   import_bench_data lines CP932.txt UTF8.txt LINES    the same counted lines in both encodings
//   import_bench_data products CP932.txt COUNT          COUNT products, every name a new one

#include "ImportFileData.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

namespace {

bool writeProducts(const QString& path, int count)
{
    QFile file(path);
    QStringEncoder encoder("windows-31j");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !encoder.isValid())
        return false;
    const QStringList units
        = { QStringLiteral("個"), QStringLiteral("本"), QStringLiteral("箱"), QStringLiteral("kg") };
    QString chunk = QStringLiteral("品名\t単位\t単価\r\n");
    for (int i = 0; i < count; ++i) {
        chunk += QStringLiteral("部品%1 ﾀｲﾌﾟ%2\t").arg(i, 6, 10, QLatin1Char('0')).arg(i % 97) + units[i % units.size()]
            + QLatin1Char('\t') + QString::number(50 + (i * 37) % 12000) + QStringLiteral("\r\n");
        if (chunk.size() > 1 << 16) {
            file.write(encoder.encode(chunk));
            chunk.clear();
        }
    }
    file.write(encoder.encode(chunk));
    return !encoder.hasError() && file.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString error;
    if (args.size() == 4 && args[0] == QStringLiteral("lines")) {
        ImportFileSize size;
        size.lines = args[3].toLongLong();
        if (writeImportFile(args[1], TextEncoding::Cp932, size, &error)
            && writeImportFile(args[2], TextEncoding::Utf8, size, &error))
            return 0;
    } else if (args.size() == 3 && args[0] == QStringLiteral("products")) {
        if (writeProducts(args[1], args[2].toInt()))
            return 0;
        error = QStringLiteral("cannot write ") + args[1];
    } else {
        error = QStringLiteral("usage: import_bench_data lines CP932.txt UTF8.txt LINES | products CP932.txt COUNT");
    }
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
}
