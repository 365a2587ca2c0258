// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "SheetFile.h"
#include "TestRegistry.h"
#include "core/printing/PrinterFonts.h"
#include "gui/widgets/FontChoiceDialog.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace {

// Characters the names of a count are written with that the IPA faces lack or that need a
// face of their own: a JIS X 0213 kanji outside the BMP, variant kanji, a circled digit, emoji.
const QStringList rareCharacters { u"𠮷"_qs, u"髙"_qs, u"﨑"_qs, u"①"_qs, u"😀"_qs, u"🍣"_qs };
// A character no face has: it prints as the face's missing-glyph box.
const QString noGlyph = QString::fromUcs4(U"\U0010FFFD", 1);

constexpr double cellMm = 25; // each character in a cell of its own, 25 mm apart
constexpr double topMm = 20;
// Rendered at 5 pixels a millimetre, so that every cell starts on a whole pixel and a box
// renders the same in every cell.
constexpr int dpi = 127;

// The standard output of a poppler tool; nullopt when it failed.
std::optional<QString> run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The cell of the i-th character on the page rendered at dpi, as dark or light pixels.
QImage cell(const QImage& page, int i)
{
    const double k = dpi / 25.4;
    const QRect area(int((10 + i * cellMm) * k), int(topMm * k) - 2, int(cellMm * k), int(16 * k));
    return page.copy(area).convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

int inked(const QImage& image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return dark;
}

// The pixels that differ between two cells at their best alignment within a pixel.
int differing(const QImage& a, const QImage& b)
{
    int fewest = a.width() * a.height();
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int differ = 0;
            for (int y = 1; y + 1 < a.height(); ++y) {
                for (int x = 1; x + 1 < a.width(); ++x)
                    differ += (qGray(a.pixel(x, y)) < 128) != (qGray(b.pixel(x + dx, y + dy)) < 128) ? 1 : 0;
            }
            fewest = std::min(fewest, differ);
        }
    }
    return fewest;
}

// A face in a list of the families the dialog offers, as the user clicks it.
void clickFamily(QListWidget* list, const QString& family)
{
    const QList<QListWidgetItem*> items = list->findItems(family, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(family));
    list->scrollToItem(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

} // namespace

class TestPrinterFonts : public QObject
{
    Q_OBJECT
private slots:
    void theJapaneseFixedPitchFacesAreOffered()
    {
        const QStringList offered = PrinterFonts::eligibleFamilies();
        // The Japanese faces of this machine whose half-width characters share one width.
        for (const QString& family : { u"IPAMincho"_qs, u"IPAGothic"_qs, u"Noto Sans Mono CJK JP"_qs })
            QVERIFY2(offered.contains(family), qPrintable(offered.join(u", "_qs)));
        // Proportional faces, faces without kana and kanji, and the Chinese and Korean cuts
        // of a face whose Japanese cut is offered.
        for (const QString& family :
             { u"IPAPMincho"_qs, u"IPAPGothic"_qs, u"Noto Sans CJK JP"_qs, u"Noto Serif CJK JP"_qs,
               u"DejaVu Sans Mono"_qs, u"DejaVu Sans"_qs, u"Noto Sans Mono CJK SC"_qs, u"Noto Sans Mono CJK KR"_qs })
            QVERIFY2(!offered.contains(family), qPrintable(family));
        for (const QString& family : offered)
            QVERIFY2(PrinterFonts::printsJapanese(family) && PrinterFonts::isFixedPitch(family), qPrintable(family));
        // Fontconfig calls the IPA faces "dual", not monospaced (IPAMincho passed above); the widths decide.
        QVERIFY(PrinterFonts::isFixedPitch(u"DejaVu Sans Mono"_qs));
        QVERIFY(!PrinterFonts::printsJapanese(u"DejaVu Sans Mono"_qs));
        QVERIFY(!PrinterFonts::isFixedPitch(u"IPAPMincho"_qs));
        // A name no installed face has is none of them, whatever the toolkit prints it in.
        QVERIFY(!PrinterFonts::printsJapanese(u"No Such Face"_qs));
        QCOMPARE(PrinterFonts::resolvedFamily(mincho), u"IPAMincho"_qs);
        QCOMPARE(PrinterFonts::resolvedFamily(u"ＭＳ ゴシック"_qs), u"IPAGothic"_qs);
        QCOMPARE(PrinterFonts::resolvedFamily(u"IPAGothic"_qs), u"IPAGothic"_qs);
    }

    void theDialogOpensOnTheFaceThatPrints()
    {
        // The program's own dialog, driven as the user does: it lists the offered faces,
        // starts on what the stored name prints in, and returns the face clicked.
        WidgetPrompter real;
        QWidget window;
        window.show();
        QApplication::setActiveWindow(&window);
        const QStringList offered = PrinterFonts::eligibleFamilies();
        QStringList listed;
        QString selected;
        QString pick;
        bool okEnabled = true;
        bool notOffered = false;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<FontChoiceDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* list = dialog->findChild<QListWidget*>(u"lstFamilies"_qs);
            listed.clear();
            for (int i = 0; i < list->count(); ++i)
                listed << list->item(i)->text();
            selected = dialog->chosenFamily();
            notOffered = dialog->findChild<QLabel*>(u"lblNotOffered"_qs) != nullptr;
            okEnabled = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
            if (pick.isEmpty()) {
                QTest::keyClick(list, Qt::Key_Escape);
                return;
            }
            clickFamily(list, pick);
            QTest::keyClick(list, Qt::Key_Return);
        });
        user.start(20);

        pick = u"IPAGothic"_qs;
        QCOMPARE(real.chooseFont(mincho, 16), std::optional<QString>(u"IPAGothic"_qs));
        QCOMPARE(listed, offered);
        QCOMPARE(selected, u"IPAMincho"_qs);
        QVERIFY(!notOffered);

        pick.clear();
        QCOMPARE(real.chooseFont(u"IPAGothic"_qs, 16), std::nullopt);
        QCOMPARE(selected, u"IPAGothic"_qs);

        // A Latin face chosen by an earlier version is not offered: nothing is selected, OK
        // waits for a choice, and a Japanese face is the way back.
        pick = u"IPAMincho"_qs;
        QCOMPARE(real.chooseFont(u"DejaVu Sans Mono"_qs, 16), std::optional<QString>(u"IPAMincho"_qs));
        QVERIFY(selected.isEmpty());
        QVERIFY(!okEnabled);
        QVERIFY(notOffered);
    }

    void everyStoredCharacterPrints_data()
    {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("fillIn"); // the face the JIS X 0213 kanji comes from
        QTest::newRow("ＭＳ 明朝") << mincho << u"NotoSerifCJK"_qs;
        QTest::newRow("IPAMincho") << u"IPAMincho"_qs << u"NotoSerifCJK"_qs;
        QTest::newRow("IPAGothic") << u"IPAGothic"_qs << u"NotoSansCJK"_qs;
        QTest::newRow("Noto Sans Mono CJK JP") << u"Noto Sans Mono CJK JP"_qs << u"NotoSansMonoCJK"_qs;
    }
    void everyStoredCharacterPrints()
    {
        QFETCH(QString, face);
        QFETCH(QString, fillIn);
        TestEnvironment env;
        const QString file = env.path(u"rare.pdf"_qs);
        QCOMPARE(writePdfPages(file, u"rare"_qs,
                               [&](PageSurface& s) {
                                   s.setFont(face, 24);
                                   for (qsizetype i = 0; i <= rareCharacters.size(); ++i)
                                       s.drawText(10 + double(i) * cellMm, topMm,
                                                  i < rareCharacters.size() ? rareCharacters[i] : noGlyph);
                                   return true;
                               }),
                 PagesWritten::Done);
        const QString page = env.path(u"rare"_qs);
        QVERIFY(run(u"pdftoppm"_qs,
                    { u"-r"_qs, QString::number(dpi), u"-gray"_qs, u"-png"_qs, u"-singlefile"_qs, file, page }));
        const QImage rendered(page + u".png"_qs);
        QVERIFY(!rendered.isNull());
        const QImage box = cell(rendered, int(rareCharacters.size()));
        QList<QImage> cells;
        for (qsizetype i = 0; i < rareCharacters.size(); ++i) {
            const QImage glyph = cell(rendered, int(i));
            const QByteArray what = rareCharacters[i].toUtf8();
            // A glyph has ink, and not the missing-glyph box's: a box prints the same for
            // every character it stands for.
            QVERIFY2(inked(glyph) > 40, what.constData());
            QVERIFY2(differing(glyph, box) > 100, what.constData());
            for (const QImage& other : cells)
                QVERIFY2(differing(glyph, other) > 100, what.constData());
            cells << glyph;
        }
        // The kanji comes from a face of the same style, and nothing from a colour emoji
        // face, whose bitmaps a PDF does not show.
        const QString fonts = run(u"pdffonts"_qs, { file }).value_or(QString());
        QVERIFY2(fonts.contains(fillIn), qPrintable(fonts));
        QVERIFY2(!fonts.contains(u"Color"_qs), qPrintable(fonts));
        if (fillIn.contains(u"Serif"_qs))
            QVERIFY2(!fonts.contains(u"NotoSansCJK"_qs), qPrintable(fonts));
        // The characters of the Basic Multilingual Plane read back as what was printed.
        const QString text = run(u"pdftotext"_qs, { file, u"-"_qs }).value_or(QString());
        for (const QString& c : { u"髙"_qs, u"﨑"_qs, u"①"_qs })
            QVERIFY2(text.contains(c), qPrintable(text));
    }
};

KOTRINA_REGISTER_TEST(TestPrinterFonts)
#include "TestPrinterFonts.moc"
