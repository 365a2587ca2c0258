#include "PdfText.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/printing/PageSurface.h"
#include "core/printing/SheetText.h"

#include <QPdfWriter>
#include <QProcess>
#include <QTest>
#include <functional>

namespace {

const QString mincho = QStringLiteral("ＭＳ 明朝");

// Draws pages into a PDF file of A4 paper without margins and reads the words back.
PdfText drawn(const TestEnvironment& env, const std::function<void(PageSurface&)>& draw)
{
    const QString file = env.path(QStringLiteral("surface.pdf"));
    {
        QPdfWriter pdf(file);
        pdf.setResolution(1200);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        PageSurface s(pdf);
        s.setFont(mincho, 9.75);
        draw(s);
        s.finish();
    }
    return readPdf(file);
}

} // namespace

class TestPageSurface : public QObject
{
    Q_OBJECT

private slots:
    void textLandsAtItsMillimetresAndMeasuresWhatItPrints()
    {
        TestEnvironment env;
        double width = 0;
        const PdfText pdf = drawn(env, [&](PageSurface& s) {
            s.drawText(20, 30, QStringLiteral("棚卸表"));
            width = s.textWidth(QStringLiteral("棚卸表"));
            s.drawLine(12, 35, 192, 35, PageSurface::Line::Dotted);
            s.drawRoundBox(12, 29, 192, 270, 1);
            s.newPage();
            s.setFontSize(14.25);
            s.drawText(87, 11, QStringLiteral("項目"));
            // Page numbers end at one edge however many digits they have.
            SheetText::drawPageNumber(s, 10);
            s.newPage();
            SheetText::drawPageNumber(s, 9);
        });
        QVERIFY2(pdf.problem.isEmpty(), qPrintable(pdf.problem));
        QCOMPARE(pdf.pages, 3);
        const QList<PdfWord> title = pdf.find(QStringLiteral("棚卸表"), 1);
        QCOMPARE(title.size(), 1);
        QVERIFY2(std::fabs(title[0].x0 - 20) < 0.5, qPrintable(QString::number(title[0].x0)));
        QVERIFY2(std::fabs(title[0].y0 - 30) < 0.5, qPrintable(QString::number(title[0].y0)));
        QVERIFY2(std::fabs(title[0].x1 - title[0].x0 - width) < 0.2, qPrintable(QString::number(width)));
        // 9.75 points: three full-width characters of 3.44 mm each.
        QVERIFY2(std::fabs(width - 3 * 9.75 * 25.4 / 72) < 0.2, qPrintable(QString::number(width)));
        const PdfWord big = pdf.at(2, 87, 11);
        QCOMPARE(big.text, QStringLiteral("項目"));
        QVERIFY(std::fabs(big.x1 - big.x0 - 2 * 14.25 * 25.4 / 72) < 0.2);
        const PdfWord ten = pdf.find(QStringLiteral("10"), 2).value(0);
        const PdfWord nine = pdf.find(QStringLiteral("9"), 3).value(0);
        QVERIFY(!nine.text.isEmpty() && !ten.text.isEmpty());
        QVERIFY2(std::fabs(nine.x1 - ten.x1) < 0.1, qPrintable(QStringLiteral("%1 %2").arg(nine.x1).arg(ten.x1)));
        QVERIFY(ten.x0 < nine.x0 - 1);

        // "ＭＳ 明朝" is printed with an installed Japanese face, not a Latin fallback.
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), { env.path(QStringLiteral("surface.pdf")) });
        QVERIFY(fonts.waitForFinished());
        QVERIFY2(fonts.readAllStandardOutput().contains("Mincho"), "the printer font is not substituted");
    }
};

KOTRINA_REGISTER_TEST(TestPageSurface)
#include "TestPageSurface.moc"
