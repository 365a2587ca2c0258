// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ImportFileData.h"

#include <QFile>
#include <QStringEncoder>
#include <QStringList>

namespace {

const QStringList& words()
{
    static const QStringList list = {
        QStringLiteral("ボルト"), QStringLiteral("ナット"), QStringLiteral("ワッシャー"), QStringLiteral("配管"),
        QStringLiteral("継手"),   QStringLiteral("塗料"),   QStringLiteral("合板"),       QStringLiteral("角材"),
        QStringLiteral("ｽﾃﾝﾚｽ"),  QStringLiteral("銅線"),   QStringLiteral("接着剤"),     QStringLiteral("養生テープ"),
        QStringLiteral("蛍光灯"), QStringLiteral("電池"),   QStringLiteral("手袋"),       QStringLiteral("洗剤"),
    };
    return list;
}

QString productName(int index)
{
    const QStringList& w = words();
    return w[index % w.size()] + QStringLiteral("・") + w[(index / w.size()) % w.size()]
        + QStringLiteral("　%1号 規格M%2×%3").arg(index).arg(index % 24 + 3).arg(index % 90 + 10);
}

QString grouped(qint64 number)
{
    QString text = QString::number(number);
    for (qsizetype at = text.size() - 3; at > 0; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

} // namespace

bool writeImportFile(const QString& path, TextEncoding encoding, const ImportFileSize& size, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QStringEncoder encoder;
    QByteArray mark;
    switch (encoding) {
    case TextEncoding::Utf8:
        encoder = QStringEncoder(QStringEncoder::Utf8);
        break;
    case TextEncoding::Utf16LE:
        encoder = QStringEncoder(QStringEncoder::Utf16LE);
        mark = QByteArray("\xFF\xFE", 2);
        break;
    case TextEncoding::Utf16BE:
        encoder = QStringEncoder(QStringEncoder::Utf16BE);
        mark = QByteArray("\xFE\xFF", 2);
        break;
    case TextEncoding::Cp932:
        encoder = QStringEncoder("windows-31j");
        break;
    }
    if (!encoder.isValid()) {
        if (error)
            *error = QStringLiteral("no encoder for code page 932");
        return false;
    }
    const QStringList units = { QStringLiteral("個"), QStringLiteral("本"), QStringLiteral("箱"), QStringLiteral("ｍ"),
                                QStringLiteral("kg") };
    QString chunk = QStringLiteral("項目/分類名\t品名\t数量\t単位\t単価\t価格\t備考\r\n");
    file.write(mark);
    quint32 random = 12345;
    for (qint64 line = 0; line < size.lines; ++line) {
        random = random * 1103515245u + 12345u;
        const int product = static_cast<int>((random >> 8) % static_cast<quint32>(size.products));
        const int category = product % size.categories;
        const int quantity = static_cast<int>((random >> 4) % 500) + 1;
        const int price = 50 + (product * 37) % 12000;
        chunk += QStringLiteral("分類%1\t").arg(category + 1) + productName(product) + QLatin1Char('\t')
            + QString::number(quantity) + QLatin1Char('\t') + units[product % units.size()] + QLatin1Char('\t')
            + grouped(price) + QLatin1Char('\t') + grouped(qint64(price) * quantity) + QLatin1Char('\t')
            + QStringLiteral("倉庫%1 棚B-%2 段%3 担当ﾔﾏﾀﾞ").arg(line % 3 + 1).arg(line % 97).arg(line % 5)
            + QStringLiteral("\r\n");
        if (chunk.size() > 1 << 16) {
            file.write(encoder.encode(chunk));
            chunk.clear();
        }
    }
    file.write(encoder.encode(chunk));
    if (encoder.hasError() || !file.flush()) {
        if (error)
            *error = encoder.hasError() ? QStringLiteral("text the encoding cannot hold") : file.errorString();
        return false;
    }
    return true;
}
