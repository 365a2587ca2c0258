// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "ImportData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/imports/ImportMapping.h"
#include "core/imports/TabFile.h"

#include <QTest>

namespace {

QByteArray utf16(const QString& text, bool bigEndian)
{
    QStringEncoder encoder(bigEndian ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE);
    const QByteArray body = encoder.encode(text);
    return (bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE")) + body;
}

// The records as "line:field|field", one record a line of the result.
QString readAllRecords(TabFileReader& reader)
{
    QStringList out;
    TabRecord record;
    while (reader.next(record))
        out << QString::number(record.line) + QLatin1Char(':') + record.fields.join(QLatin1Char('|'));
    return out.join(QLatin1Char('\n'));
}

const QString Sample = u"品名\t数量\r\nﾎﾞﾙﾄ・ナット\t１,５００\r\n"_qs;
const QString SampleRecords = u"1:品名|数量\n2:ﾎﾞﾙﾄ・ナット|１,５００"_qs;

} // namespace

Q_DECLARE_METATYPE(TextEncoding)

class TestTabFile : public QObject
{
    Q_OBJECT

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextEncoding>("encoding");
        QTest::addColumn<QString>("records");

        QTest::newRow("code page 932, CRLF") << cp932(Sample) << TextEncoding::Cp932 << SampleRecords;
        QTest::newRow("UTF-8 without mark") << Sample.toUtf8() << TextEncoding::Utf8 << SampleRecords;
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF") + Sample.toUtf8() << TextEncoding::Utf8
                                         << SampleRecords;
        QTest::newRow("UTF-16 LE") << utf16(Sample, false) << TextEncoding::Utf16LE << SampleRecords;
        QTest::newRow("UTF-16 BE") << utf16(Sample, true) << TextEncoding::Utf16BE << SampleRecords;
        QTest::newRow("UTF-16 LE without mark")
            << utf16(Sample, false).mid(2) << TextEncoding::Utf16LE << SampleRecords;
        QTest::newRow("UTF-16 BE without mark") << utf16(Sample, true).mid(2) << TextEncoding::Utf16BE << SampleRecords;
        QTest::newRow("UTF-16 without mark, one column of kanji")
            << utf16(u"品名\r\n一覧\r\n"_qs, false).mid(2) << TextEncoding::Utf16LE << u"1:品名\n2:一覧"_qs;
        QTest::newRow("code page 932 backslash and wave dash")
            << QByteArray("\\\t\x81\x60\t\x81\x5F") << TextEncoding::Cp932 << u"1:\\|～|＼"_qs;

        QTest::newRow("LF") << QByteArray("a\nb\nc") << TextEncoding::Utf8 << "1:a\n2:b\n3:c";
        QTest::newRow("CR") << QByteArray("a\rb\rc\r") << TextEncoding::Utf8 << "1:a\n2:b\n3:c";
        QTest::newRow("mixed line ends") << QByteArray("a\r\nb\rc\nd") << TextEncoding::Utf8 << "1:a\n2:b\n3:c\n4:d";
        QTest::newRow("empty fields") << QByteArray("\ta\t\t\r\n") << TextEncoding::Utf8 << "1:|a||";

        QTest::newRow("doubled quote") << QByteArray("\"a\"\"b\"\tc") << TextEncoding::Utf8 << "1:a\"b|c";
        QTest::newRow("tab inside quotes") << QByteArray("\"a\tb\"\tc") << TextEncoding::Utf8 << "1:a\tb|c";
        QTest::newRow("line breaks inside quotes, then the next record's line")
            << QByteArray("\"a\r\nb\rc\nd\"\tx\r\ny") << TextEncoding::Utf8 << "1:a\nb\nc\nd|x\n5:y";
        QTest::newRow("quote inside a field") << QByteArray("a\"b\tc\"") << TextEncoding::Utf8 << "1:a\"b|c\"";
        QTest::newRow("text after the closing quote") << QByteArray("\"ab\"c\td") << TextEncoding::Utf8 << "1:abc|d";
        QTest::newRow("empty quoted field") << QByteArray("\"\"\tx") << TextEncoding::Utf8 << "1:|x";

        QTest::newRow("trailing line break") << QByteArray("a\r\n") << TextEncoding::Utf8 << "1:a";
        QTest::newRow("trailing empty lines") << QByteArray("a\r\n\r\n\r\n") << TextEncoding::Utf8 << "1:a";
        QTest::newRow("trailing rows of tabs") << QByteArray("a\r\n\t\t\r\n\r\n\t") << TextEncoding::Utf8 << "1:a";
        QTest::newRow("empty rows in the middle")
            << QByteArray("a\r\n\r\n\t\r\nb\r\n\r\n") << TextEncoding::Utf8 << "1:a\n2:\n3:|\n4:b";
        QTest::newRow("empty file") << QByteArray() << TextEncoding::Utf8 << "";
        QTest::newRow("mark alone") << QByteArray("\xFF\xFE") << TextEncoding::Utf16LE << "";
        QTest::newRow("empty lines alone") << QByteArray("\r\n\n\r") << TextEncoding::Utf8 << "";
    }

    void records()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextEncoding, encoding);
        QFETCH(QString, records);
        TabFileReader reader;
        QVERIFY(reader.openData(bytes));
        QCOMPARE(reader.encoding(), encoding);
        QCOMPARE(readAllRecords(reader), records);
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorText()));
    }

    // Text the encoding cannot hold, quotes left open: reading stops with the line.
    void faults_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("records");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("reason");
        const auto row
            = [](const char* name, const QByteArray& bytes, const char* records, qint64 line, const char* reason) {
                  QTest::newRow(name) << bytes << QString::fromUtf8(records) << line << QString::fromUtf8(reason);
              };

        const char* cp932Fault = "シフトJIS（コードページ932）として読めない文字があります。";
        const char* utf8Fault = "UTF-8として読めない文字があります。";
        const char* utf16Fault = "UTF-16として読めない文字があります。";
        const char* openQuote = "引用符（\"）で始まる項目が閉じていません。";
        row("unassigned code page 932 pair", cp932(u"品名\r\n棚\r\n"_qs) + "\x85\x40\r\n", "1:品名\n2:棚", 3,
            cp932Fault);
        row("byte no code page 932 character starts with", cp932(u"品名\r\n"_qs) + "a\x80", "1:品名", 2, cp932Fault);
        row("lead byte before a line break", cp932(u"品名\r\n"_qs) + "a\x82\r\nb", "1:品名", 2, cp932Fault);
        row("lead byte at the end", cp932(u"品名\r\nb\r\n"_qs) + "\x82", "1:品名\n2:b", 3, cp932Fault);
        row("after a multi-line field", cp932(u"\"品\r\n名\"\t数\r\n"_qs) + "\xFD", "1:品\n名|数", 3, cp932Fault);
        row("UTF-8 with mark", "\xEF\xBB\xBF" + u"品名\n"_qs.toUtf8() + "\xE3\x81", "1:品名", 2, utf8Fault);
        row("UTF-8 without mark, one bad byte", u"ボルト\t1\r\n"_qs.repeated(6).toUtf8() + "x\xC0\xAF\r\nb", "", 7,
            utf8Fault);
        row("UTF-16 lone surrogate", utf16(u"a\nb"_qs, false) + QByteArray("\x00\xDC", 2), "1:a", 2, utf16Fault);
        row("UTF-16 odd length", utf16(u"a\nb"_qs, true) + "c", "1:a", 2, utf16Fault);
        // Known as UTF-16 without its mark, its faults are named as UTF-16's.
        row("UTF-16 without mark, lone surrogate", utf16(u"a\tb\nc"_qs, false).mid(2) + QByteArray("\x00\xDC", 2),
            "1:a|b", 2, utf16Fault);
        row("NUL", QByteArray("a\nb\0c", 5), "1:a", 2,
            "NUL 文字があります（テキストファイルでないか、文字コードが違います）。");
        row("quote left open", "a\n\"b\nc\nd", "1:a", 2, openQuote);
        row("quote left open after a multi-line field", "\"a\nb\"\tx\ny\t\"z\n", "1:a\nb|x", 3, openQuote);
        row("too many fields", "a\n" + QByteArray(20000, '\t'), "1:a", 2,
            "1 件の項目数か文字数が多すぎます（16384 項目、1048576 文字まで）。");
    }

    void faults()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, records);
        QFETCH(qint64, line);
        QFETCH(QString, reason);
        TabFileReader reader;
        QVERIFY(reader.openData(bytes));
        const QString read = readAllRecords(reader);
        if (!records.isEmpty())
            QCOMPARE(read, records);
        QVERIFY(reader.hasError());
        QCOMPARE(reader.errorLine(), line);
        QCOMPARE(reader.errorText(), reason);
        TabRecord record;
        QVERIFY(!reader.next(record));
    }

    // Every character, line end, quote and fault cut by the end of a block the file is
    // read in: the same records and the same fault as when read in one block.
    void blockEdges_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString text = u"品名\t\"数\"\"量\"\r\n\"ﾎﾞﾙﾄ\r\n𠮷\"\t１\r\r\n\t\n"_qs;
        QTest::newRow("code page 932") << cp932(text);
        QTest::newRow("UTF-8") << text.toUtf8();
        QTest::newRow("UTF-8 with a fault") << text.toUtf8() + text.toUtf8() + "\xE3\x81\r\nx";
        QTest::newRow("UTF-16 LE") << utf16(text, false);
        QTest::newRow("UTF-16 BE with a fault") << utf16(text, true) + QByteArray("\xDC\x00", 2);
        QTest::newRow("code page 932 with a fault") << cp932(text) + "\x82";
        QTest::newRow("quote left open") << text.toUtf8() + "\"\r\n\r\n";
        QTest::newRow("many broken UTF-8 sequences before good ones")
            << QByteArray(70, '\x80') + u"あ"_qs.repeated(300).toUtf8();
    }

    void blockEdges()
    {
        QFETCH(QByteArray, bytes);
        TabFileReader whole;
        QVERIFY(whole.openData(bytes));
        const QString expected = readAllRecords(whole);
        for (int block = 4; block <= 24; ++block) {
            TabFileReader reader;
            reader.setBlockSize(block);
            QVERIFY(reader.openData(bytes));
            QCOMPARE(reader.encoding(), whole.encoding());
            QCOMPARE(readAllRecords(reader), expected);
            QCOMPARE(reader.hasError(), whole.hasError());
            QCOMPARE(reader.errorLine(), whole.errorLine());
            if (!whole.hasError())
                QCOMPARE(reader.position(), reader.size());
        }
    }

    // Thousands of empty rows of changing widths in the middle: every one a record, in its line.
    void manyEmptyRows()
    {
        TabFileReader reader;
        QVERIFY(reader.openData("a\n" + QByteArray("\n\t\n").repeated(3000) + "b\n\n"));
        TabRecord record;
        qint64 records = 0;
        while (reader.next(record)) {
            ++records;
            QCOMPARE(record.line, records);
            QCOMPARE(record.fields.size(), records == 1 || records % 2 == 0 ? 1 : 2);
        }
        QCOMPARE(records, 6002);
        QCOMPARE(record.fields, QStringList(u"b"_qs));
    }

    void files()
    {
        TestEnvironment env;
        const QString path = env.writeFile(u"商品.txt"_qs, cp932(Sample));
        QString error;
        QCOMPARE(readHeading(path, &error), QStringList({ u"品名"_qs, u"数量"_qs }));
        QCOMPARE(readHeading(env.writeFile(u"empty.txt"_qs, "\r\n"), &error), QStringList());
        QCOMPARE(error, u"ファイルにデータがありません。"_qs);
        QCOMPARE(readHeading(env.writeFile(u"bad.txt"_qs, "a\x80"), &error), QStringList());
        QCOMPARE(error, u"行 1: シフトJIS（コードページ932）として読めない文字があります。"_qs);
        const QString missing = env.path(u"missing.txt"_qs);
        QCOMPARE(readHeading(missing, &error), QStringList());
        QVERIFY2(error.startsWith(u"ファイルを開けません。"_qs) && error.contains(missing), qPrintable(error));
        TabFileReader reader;
        QVERIFY(!reader.open(env.root()));
        QCOMPARE(reader.errorLine(), 0);
    }

    void mappingFiles()
    {
        // Names a plain line would not bring back; the product file's eight lines, JANコード
        // last. (Plain names go to and fro in the dialog cases.)
        TestEnvironment env;
        ImportMapping products(ImportKind::Products);
        products.assign(1, u"品名,規格"_qs, 2);
        products.assign(2, u" \"単位\" "_qs, 4);
        products.assign(4, u"JAN"_qs, 5);
        const QString productsPath = env.path(ImportMapping::fileName(ImportKind::Products));
        QVERIFY(products.write(productsPath));
        QCOMPARE(readAll(productsPath).count("\r\n"), 8);
        QVERIFY(readAll(productsPath).endsWith("\r\n0\r\nJAN\r\n5\r\n"));
        ImportMapping productsBack(ImportKind::Products);
        QVERIFY(productsBack.read(productsPath));
        QCOMPARE(productsBack.columnName(1), u"品名,規格"_qs);
        QCOMPARE(productsBack.columnName(2), u" \"単位\" "_qs);
        QCOMPARE(productsBack.columnNumber(2), 4);
        QCOMPARE(productsBack.columnNumber(3), 0);
        QCOMPARE(productsBack.columnName(4), u"JAN"_qs);
        QCOMPARE(productsBack.columnNumber(4), 5);

        // The six lines written before the codes: JANコード left unassigned, not kept from before.
        QVERIFY(productsBack.read(env.writeFile(u"old.log"_qs, QByteArray("品名\r\n1\r\n単位\r\n2\r\n\r\n0\r\n"))));
        QCOMPARE(productsBack.columnNumber(1), 1);
        QCOMPARE(productsBack.columnNumber(2), 2);
        QVERIFY(!productsBack.isAssigned(3));
        QVERIFY(!productsBack.isAssigned(4));
        QCOMPARE(productsBack.columnName(4), QString());
        // Such a file could not name the code column: the one headed JANコード is taken. One
        // written since keeps a code column left out as it is.
        const QStringList headings = { u"品名"_qs, u"単位"_qs, u"単価"_qs, u"JANコード"_qs };
        productsBack.assignUnnamedFields(headings);
        QCOMPARE(productsBack.columnNumber(4), 4);
        QVERIFY(
            productsBack.read(env.writeFile(u"new.log"_qs, QByteArray("品名\r\n1\r\n\r\n0\r\n\r\n0\r\n\r\n0\r\n"))));
        productsBack.assignUnnamedFields(headings);
        QVERIFY(!productsBack.isAssigned(2));
        QVERIFY(!productsBack.isAssigned(4));

        // Items separated by commas as well as by lines.
        const QString commas = env.writeFile(u"commas.log"_qs, QByteArray("品名,3\r\n単位, 1\n,0"));
        QVERIFY(productsBack.read(commas));
        QCOMPARE(productsBack.columnName(1), u"品名"_qs);
        QCOMPARE(productsBack.columnNumber(1), 3);
        QCOMPARE(productsBack.columnNumber(2), 1);
        QVERIFY(!productsBack.isAssigned(3));

        // A file cut short, a bad number or a missing file changes nothing.
        for (const QByteArray& bad :
             { QByteArray("品名\r\n3\r\n単位\r\n"), QByteArray("a\r\nx\r\nb\r\n1\r\nc\r\n2\r\n"),
               QByteArray("a\r\n-1\r\nb\r\n1\r\nc\r\n2\r\n"), QByteArray("a\r\n1\r\nb\r\n1\r\nc\r\n2\r\nJAN\r\n"),
               QByteArray("a\r\n1\r\nb\r\n1\r\nc\r\n2\r\nJAN\r\nx\r\n") }) {
            QVERIFY(!productsBack.read(env.writeFile(u"bad.log"_qs, bad)));
            QCOMPARE(productsBack.columnNumber(1), 3);
        }
        QVERIFY(!productsBack.read(env.path(u"none.log"_qs)));

        // A folder where the file should be: the file stays as it was and the reason is given.
        QString error;
        QVERIFY(!products.write(env.root(), &error));
        QVERIFY(!error.isEmpty());
    }

    void fromHeadings()
    {
        const ImportMapping mapping = ImportMapping::fromHeadings(
            ImportKind::Lines, { u"コード"_qs, u"品名"_qs, u" 数量 "_qs, u"価格"_qs, u"品名"_qs });
        QCOMPARE(mapping.columnNumber(2), 2);
        QCOMPARE(mapping.columnNumber(3), 3);
        QCOMPARE(mapping.columnName(3), u" 数量 "_qs);
        QCOMPARE(mapping.columnNumber(6), 4);
        for (int field : { 1, 4, 5, 7 })
            QVERIFY(!mapping.isAssigned(field));
    }

    void commandLine_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        const auto row = [](const char* name, ImportKind kind, const char* text, const char* result) {
            QTest::newRow(name) << int(kind) << QString::fromUtf8(text) << QString::fromUtf8(result);
        };
        const ImportKind lines = ImportKind::Lines;
        row("headings and positions", lines, "品名=商品, 数量=#3,項目/分類名=分類",
            "1:分類=1 2:商品=2 3:数=3 4:単位=4 5:単価=5");
        row("a field left empty", lines, "品名=商品,単位=", "2:商品=2 5:単価=5");
        row("products", ImportKind::Products, "単価=単価,品名=#2", "1:商品=2 2:単位=4 3:単価=5");
        row("no such field", lines, "品名=商品,金額=#6",
            "「金額」という項目はありません。項目は 項目/分類名、品名、数量、単位、単価、価格、備考 のいずれかです。");
        row("no such heading", lines, "品名=品", "見出し「品」はファイルにありません。");
        row("column out of range", lines, "品名=#7", "7 列目はありません（ファイルは 6 列です）。");
        row("column zero", lines, "品名=#0", "0 列目はありません（ファイルは 6 列です）。");
        row("no equals sign", lines, "品名", "「品名」は「項目=列」の形ではありません。");
        row("field twice", lines, "品名=#1,品名=#2", "項目「品名」が二度指定されています。");
        row("no name", ImportKind::Products, "単位=単位", "品名の項目が設定されていません。");
        row("empty", lines, "", "品名の項目が設定されていません。");
    }

    void commandLine()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, result);
        const QStringList headings = { u"分類"_qs, u"商品"_qs, u"数"_qs, u"単位"_qs, u"単価"_qs, u"金額"_qs };
        QString error;
        const std::optional<ImportMapping> mapping
            = ImportMapping::parse(static_cast<ImportKind>(kind), text, headings, &error);
        QString got = error;
        if (mapping) {
            QStringList assigned;
            for (int field = 1; field <= mapping->fieldCount(); ++field) {
                if (mapping->isAssigned(field))
                    assigned
                        << u"%1:%2=%3"_qs.arg(field).arg(mapping->columnName(field)).arg(mapping->columnNumber(field));
            }
            got = assigned.join(QLatin1Char(' '));
        }
        QCOMPARE(got, result);
    }
};

KOTRINA_REGISTER_TEST(TestTabFile)
#include "TestTabFile.moc"
