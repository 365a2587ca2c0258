// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// The files of bench/import_bench.sh:
//   import_bench_data lines CP932.txt UTF8.txt LINES    the same counted lines in both encodings
//   import_bench_data products CP932.txt COUNT          COUNT products, every name a new one
//   import_bench_data products-codes CP932.txt COUNT    the same with a JANコード column: one code
//                                                       for each product, two for every other one

#include "ImportFileData.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

namespace {

// A valid EAN-13 of the shop's own range (20–29) for a number below 10^10.
QString ownCode(qint64 number)
{
    const QString digits = QStringLiteral("21") + QStringLiteral("%1").arg(number, 10, 10, QLatin1Char('0'));
    int sum = 0;
    for (qsizetype i = 0; i < digits.size(); ++i)
        sum += (digits.at(digits.size() - 1 - i).unicode() - u'0') * (i % 2 == 0 ? 3 : 1);
    return digits + QChar(u'0' + (10 - sum % 10) % 10);
}

bool writeProducts(const QString& path, int count, bool withCodes)
{
    QFile file(path);
    QStringEncoder encoder("windows-31j");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !encoder.isValid())
        return false;
    const QStringList units
        = { QStringLiteral("個"), QStringLiteral("本"), QStringLiteral("箱"), QStringLiteral("kg") };
    QString chunk
        = withCodes ? QStringLiteral("品名\t単位\t単価\tJANコード\r\n") : QStringLiteral("品名\t単位\t単価\r\n");
    for (int i = 0; i < count; ++i) {
        chunk += QStringLiteral("部品%1 ﾀｲﾌﾟ%2\t").arg(i, 6, 10, QLatin1Char('0')).arg(i % 97) + units[i % units.size()]
            + QLatin1Char('\t') + QString::number(50 + (i * 37) % 12000);
        if (withCodes) {
            chunk += QLatin1Char('\t') + ownCode(2 * qint64(i));
            if (i % 2 == 1)
                chunk += QStringLiteral("; ") + ownCode(2 * qint64(i) + 1);
        }
        chunk += QStringLiteral("\r\n");
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
    } else if (args.size() == 3
               && (args[0] == QStringLiteral("products") || args[0] == QStringLiteral("products-codes"))) {
        if (writeProducts(args[1], args[2].toInt(), args[0] == QStringLiteral("products-codes")))
            return 0;
        error = QStringLiteral("cannot write ") + args[1];
    } else {
        error = QStringLiteral(
            "usage: import_bench_data lines CP932.txt UTF8.txt LINES | products[-codes] CP932.txt COUNT");
    }
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
}
