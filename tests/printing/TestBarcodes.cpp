// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "SampleData.h"
#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/masters/ProductCodes.h"
#include "core/printing/CountBook.h"
#include "core/store/Schema.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString earlier = u"2025-03-31"_qs;

// code with its check digit after it.
QString withCheck(const QString& digits)
{
    return digits + QString::number(ProductCodes::checkDigit(digits));
}

void addCode(const Database& db, int product, const QString& code)
{
    QString error;
    QVERIFY2(ProductCodes::addCode(db, product, code, &error), qPrintable(error));
}

// `kotrina ARGS` as the user runs it, the real program in a process of its own.
QString runKotrina(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(KOTRINA_EXECUTABLE), args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("kotrina failed: ") + QString::fromUtf8(p.readAllStandardError());
    return {};
}

// What zbarimg reads on the pages of pdf rendered at dpi, "EAN-13:4901234567894" for each
// symbol, sorted. smooth false renders every dot black or white, as a thermal label printer
// prints: no grey edges that a reader could average into the right width.
QStringList readBars(const QString& pdf, const QString& dpi, bool smooth, QString* problem)
{
    const QString prefix = QFileInfo(pdf).absolutePath() + u"/page-"_qs + dpi + (smooth ? u"s"_qs : u"h"_qs);
    QStringList render = { u"-r"_qs, dpi, u"-png"_qs };
    if (!smooth)
        render << u"-aa"_qs << u"no"_qs << u"-aaVector"_qs << u"no"_qs;
    if (QProcess::execute(u"pdftoppm"_qs, render << pdf << prefix) != 0) {
        *problem = u"pdftoppm failed"_qs;
        return {};
    }
    QStringList pages;
    for (const QFileInfo& page :
         QDir(QFileInfo(pdf).absolutePath()).entryInfoList({ QFileInfo(prefix).fileName() + u"*.png"_qs }, QDir::Files))
        pages << page.absoluteFilePath();
    QProcess zbar;
    // UPC-A stays the EAN-13 with its leading 0, as it is kept and printed.
    zbar.start(u"zbarimg"_qs, QStringList { u"-q"_qs } + pages);
    zbar.waitForFinished(120000);
    QStringList found = QString::fromUtf8(zbar.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    found.sort();
    return found;
}

QStringList expected(const QStringList& codes)
{
    QStringList symbols;
    for (const QString& code : codes)
        symbols << (code.size() == 8 ? u"EAN-8:"_qs : u"EAN-13:"_qs) + code;
    symbols.sort();
    return symbols;
}

} // namespace

// The barcodes of the count book and of the code list, read back with a real reader.
class TestBarcodes : public QObject
{
    Q_OBJECT

private slots:
    // Printed by the program from the command line, rendered as a 300-dpi laser and as a
    // 203-dpi label printer would print them, every symbol decodes to its code: the JAN of a
    // maker, a short EAN-8, a UPC-A (kept and printed as its EAN-13 with a leading 0), the
    // shop's own in-store code; none is missing and none extra.
    void theCodesPrintedDecodeWithARealReader()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.category(2, u"雑貨"_qs);
        const QString jan = u"4901234567894"_qs;
        const QString ean8 = withCheck(u"4912345"_qs);
        const QString upca = u"0"_qs + u"036000291452"_qs;
        const QString inStore = withCheck(u"200000100000"_qs);
        const QString piece = withCheck(u"456789012345"_qs);
        const QString pack = withCheck(u"456789012346"_qs);
        f.product(1, u"りんご"_qs, 120);
        f.product(2, u"ガム"_qs, 100);
        f.product(3, u"輸入菓子"_qs, 300);
        f.product(4, u"店の惣菜"_qs, 398);
        f.product(5, u"箱入り茶"_qs, 1000);
        f.product(6, u"ほうき"_qs, 800);
        addCode(f.db, 1, jan);
        addCode(f.db, 2, ean8);
        addCode(f.db, 3, u"036000291452"_qs);
        addCode(f.db, 4, inStore);
        addCode(f.db, 5, piece);
        addCode(f.db, 5, pack);
        f.line(earlier, 1, u"りんご"_qs, 3, 120, 1);
        f.line(earlier, 1, u"ガム"_qs, 3, 100, 2);
        f.line(earlier, 1, u"ほうき"_qs, 1, 800, 6);
        f.line(earlier, 1, u"輸入菓子"_qs, 2, 300, 3);
        f.line(earlier, 2, u"店の惣菜"_qs, 2, 398, 4);
        f.line(earlier, 2, u"箱入り茶"_qs, 1, 1000, 5);
        f.db.close();

        const QString book = f.env.path(u"book/記入帳.pdf"_qs);
        const QString list = f.env.path(u"list/一覧.pdf"_qs);
        QVERIFY(QDir().mkpath(QFileInfo(book).absolutePath()) && QDir().mkpath(QFileInfo(list).absolutePath()));
        const QString file = f.env.path(u"shop.idb"_qs);
        QCOMPARE(runKotrina({ u"print"_qs, u"book"_qs, file, u"--date"_qs, earlier, u"--pdf"_qs, book }), QString());
        QCOMPARE(runKotrina({ u"print"_qs, u"codes"_qs, file, u"--pdf"_qs, list }), QString());

        // The book: each line's first code, the line without one printing none.
        const QStringList bookCodes = expected({ jan, ean8, upca, inStore, piece });
        // The list: every code of every product.
        const QStringList listCodes = expected({ jan, ean8, upca, inStore, piece, pack });
        for (const auto& [dpi, smooth] : { std::pair { u"300"_qs, true }, std::pair { u"203.2"_qs, false } }) {
            QString problem;
            QCOMPARE(readBars(book, dpi, smooth, &problem), bookCodes);
            QCOMPARE(readBars(list, dpi, smooth, &problem), listCodes);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }

        // The digits under the bars: an EAN-13's first one in the quiet zone, the others in
        // two groups of six; an EAN-8's in two groups of four.
        const PdfText text = readPdf(book);
        QVERIFY(!text.find(u"901234"_qs).isEmpty() && !text.find(u"567894"_qs).isEmpty());
        QVERIFY(!text.find(ean8.left(4)).isEmpty() && !text.find(ean8.mid(4)).isEmpty());
        // The list names each code's kind.
        const PdfText names = readPdf(list);
        for (const QString& kind : { u"JAN"_qs, u"JAN短縮"_qs, u"UPC-A"_qs, u"店内"_qs })
            QVERIFY2(!names.find(kind).isEmpty(), qPrintable(kind));
        QVERIFY(names.find(u"ほうき"_qs).isEmpty());
    }

    // A line with a code takes two rows of the book, its texts on the lower one's line, and
    // does not start at the page's last row; the page count told before printing is the one
    // printed. Lines without codes print where they always did.
    void aLineWithACodeTakesTwoRows()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.product(1, u"無印の品"_qs, 10);
        f.product(2, u"コードの品"_qs, 20);
        addCode(f.db, 2, u"4901234567894"_qs);
        for (int i = 0; i < 26; ++i)
            f.line(earlier, 1, u"無印の品"_qs, 1, 10, 1);
        f.line(earlier, 1, u"コードの品"_qs, 1, 20, 2); // rows 27 and 28: fills the page
        f.line(earlier, 1, u"コードの品"_qs, 1, 20, 2); // a page of its own
        f.line(earlier, 1, u"無印の品"_qs, 1, 10, 1);
        QString problem;
        const std::optional<SheetDocument> doc = CountBook::load(f.db, QDate(2025, 3, 31), {}, &problem);
        QVERIFY2(doc, qPrintable(problem));
        QCOMPARE(sheetPages(*doc), 2);
        const PdfText pdf = f.print([&](const QString& file, QString* why) {
            const std::optional<SheetPrinted> printed = CountBook::writePdf(*doc, mincho, file, why);
            return printed && printed->pages == 2;
        });
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 2);
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 25).text, u"無印の品"_qs);
        QCOMPARE(pdf.at(1, 15, 38 + 8 * 27).text, u"コードの品"_qs);
        QCOMPARE(pdf.at(2, 15, 46).text, u"コードの品"_qs);
        QCOMPARE(pdf.at(2, 15, 54).text, u"無印の品"_qs);
        // The unit price stands on the name's line.
        QCOMPARE(pdf.row(2, 46).constLast().text, u"20"_qs);
        // The digits stand above the name, below the bars, inside the two rows.
        const QList<PdfWord> digits = pdf.find(u"901234"_qs, 2);
        QCOMPARE(digits.size(), 1);
        QVERIFY2(digits[0].y0 > 35 + 7.5 && digits[0].y1 < 46, qPrintable(QString::number(digits[0].y0)));
    }

    // A file of the version before the codes is read as it is: its book prints every line in
    // one row, and the code list says there is no code; the file is not upgraded by either.
    void aFileOlderThanTheCodesPrintsItsBookWithoutBars()
    {
        SheetFile f;
        f.category(1, u"食品"_qs);
        f.product(1, u"りんご"_qs, 120);
        for (int i = 0; i < 28; ++i)
            f.line(earlier, 1, u"りんご"_qs, 1, 120, 1);
        f.db.close();
        const QString file = f.env.path(u"shop.idb"_qs);
        QVERIFY(makeVersion(file, Schema::CodesVersion - 1));
        const QString pdf = f.env.path(u"book.pdf"_qs);
        Run r = kotrina({ u"print"_qs, u"book"_qs, file, u"--date"_qs, earlier, u"--pdf"_qs, pdf });
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.contains(u": 1 頁、28 品"_qs), qPrintable(r.out));
        r = kotrina({ u"print"_qs, u"codes"_qs, file, u"--pdf"_qs, pdf });
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, u"kotrina: コードが登録された品名がありません。\n"_qs);
        QCOMPARE(schemaVersion(file), Schema::CodesVersion - 1);
    }
};

KOTRINA_REGISTER_TEST(TestBarcodes)
#include "TestBarcodes.moc"
