// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "CliRun.h"
#include "SampleData.h"
#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/printing/CupsPrinterCatalog.h"
#include "gui/printing/DialogTanaMoto1.h"
#include "gui/printing/frmPrinterP.h"
#include "gui/widgets/WorkProgress.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cups/cups.h>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString Queue = QStringLiteral("Kotrina-PDF");

// The set-up script makes the queue; in CI its absence is a fault, elsewhere a machine
// without it is merely not set up for this test.
bool queueMissing()
{
    if (!QPrinterInfo::printerInfo(Queue).isNull())
        return false;
    if (qEnvironmentVariable("CI") == QLatin1String("true"))
        QTest::qFail("the printer queue Kotrina-PDF is missing: run scripts/setup.sh", __FILE__, __LINE__);
    else
        QTest::qSkip("no printer queue Kotrina-PDF on this machine (scripts/setup.sh adds it)", __FILE__, __LINE__);
    return true;
}

// The PDF printer writes into PDF/ of the account's home, whatever HOME says.
QDir landingFolder()
{
    const passwd* account = getpwuid(getuid());
    return QDir(QString::fromLocal8Bit(account ? account->pw_dir : "/") + QStringLiteral("/PDF"));
}

// The PDF files of the folder whose names hold part (cups-pdf names them after the job's title).
QStringList landed(const QString& part)
{
    return landingFolder().entryList({ QStringLiteral("*") + part + QStringLiteral("*.pdf") }, QDir::Files, QDir::Name);
}

// Waits for a file that was not there before; it is whole once pdfinfo reads it, and info
// holds what pdfinfo said.
QString arrival(const QString& part, const QStringList& before, QString* info = nullptr)
{
    QString file;
    const auto whole = [&] {
        for (const QString& name : landed(part)) {
            if (before.contains(name))
                continue;
            QProcess pdfinfo;
            pdfinfo.start(QStringLiteral("pdfinfo"), { landingFolder().filePath(name) });
            pdfinfo.waitForFinished(30000);
            if (pdfinfo.exitCode() == 0) {
                file = landingFolder().filePath(name);
                if (info)
                    *info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
                return true;
            }
        }
        return false;
    };
    if (!QTest::qWaitFor(whole, 90000))
        return {};
    return file;
}

// The top-left corner of what is printed on the first page, mm from the paper's corner: the
// leftmost and the topmost dark pixel of a rendering at 200 dpi. The queue's output has fonts
// that only a rendering reads right.
QPointF printedCorner(const QString& pdf, const QTemporaryDir& dir)
{
    const QString stem = dir.filePath(QFileInfo(pdf).completeBaseName());
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 { QStringLiteral("-r"), QStringLiteral("200"), QStringLiteral("-gray"), QStringLiteral("-png"),
                   QStringLiteral("-singlefile"), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                   QStringLiteral("1"), pdf, stem });
    render.waitForFinished(60000);
    const QImage page = QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
    if (page.isNull())
        return { -1, -1 };
    int left = page.width();
    int top = page.height();
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if (row[x] < 128) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    }
    return { left * 25.4 / 200, top * 25.4 / 200 };
}

// The jobs of the queue titled title, whatever their state.
int jobsTitled(const QString& title)
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, Queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    int found = 0;
    for (int i = 0; i < count; ++i)
        found += QString::fromUtf8(jobs[i].title) == title ? 1 : 0;
    cupsFreeJobs(count, jobs);
    return found;
}

// A business file with a stocktaking of a date no other test prints: a category with a few lines.
struct QueueSheet : TestSession
{
    QDate date;
    ScreenTest::Driver<DialogTanaMoto1> w;
    CupsPrinterCatalog catalog;

    explicit QueueSheet(QDate day, int lines)
        : date(day)
    {
        QVERIFY(openNewDatabase());
        QVERIFY(addSampleLines(db(), lines, day));
        QVERIFY(db().exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "項目ID" = 1)")));
        QVERIFY(db().exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (1, '食品'))")));
        state.printers = &catalog;
        state.PrinterName = Queue;
        w.screen = new DialogTanaMoto1(state, day);
        ScreenTest::showActive(w.screen);
    }
};

} // namespace

class TestPrinterQueue : public QObject
{
    Q_OBJECT

private slots:
    void pageArrivesThroughTheQueue()
    {
        if (queueMissing())
            return;
        CupsPrinterCatalog catalog;
        QVERIFY(catalog.printerNames().contains(Queue));
        QVERIFY(catalog.details(Queue)->maxCopies >= 1);

        // One A4 page with a line of text, named so that its file can be told from others.
        const QString title = QStringLiteral("kotrinaqueue%1").arg(QDateTime::currentMSecsSinceEpoch());
        QPrinter printer(QPrinterInfo::printerInfo(Queue), QPrinter::HighResolution);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setDocName(title);
        {
            QPainter painter(&printer);
            QVERIFY(painter.isActive());
            painter.drawText(QPointF(printer.resolution(), printer.resolution()), QStringLiteral("棚卸表 1,234"));
        }
        QString info;
        const QString landed = arrival(title, {}, &info);
        QVERIFY(!landed.isEmpty());
        QFile::remove(landed);
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("(A4)")), qPrintable(info));
    }

    void theDialogAndTheCommandLinePutTheSheetOnTheSameSpot()
    {
        if (queueMissing())
            return;
        QueueSheet s(QDate(2037, 11, 23), 40);
        const QString part = QStringLiteral("2037_11_23");
        const QStringList before = landed(part);
        QTemporaryDir renderings;

        // 印刷(P) in the dialog, to the queue.
        QCOMPARE(s.w.find<QComboBox>("Combo6")->currentText(), Queue);
        s.w.click("Command3");
        QVERIFY2(s.prompter.texts().isEmpty(), qPrintable(s.prompter.texts().join(u'|')));
        const QString fromDialog = arrival(part, before);
        QVERIFY(!fromDialog.isEmpty());

        // The same sheet from the command line, to the same queue, and into a file of its own.
        const QString file = s.db().fileName();
        s.w.screen->reject();
        s.state.DatabaseConnection.close();
        const QString pdf = s.env.path(QStringLiteral("own.pdf"));
        const QStringList sheet { u"print"_qs, u"sheet"_qs, file, u"--date"_qs, u"2037-11-23"_qs };
        const Run queued = kotrina(sheet + QStringList { u"--printer"_qs, Queue });
        QVERIFY2(queued.status == 0, qPrintable(queued.err));
        const QString fromCommand = arrival(part, before + QStringList { QFileInfo(fromDialog).fileName() });
        QVERIFY(!fromCommand.isEmpty());
        const Run own = kotrina(sheet + QStringList { u"--pdf"_qs, pdf });
        QVERIFY2(own.status == 0, qPrintable(own.err));

        const QPointF dialogCorner = printedCorner(fromDialog, renderings);
        const QPointF commandCorner = printedCorner(fromCommand, renderings);
        const QPointF ownCorner = printedCorner(pdf, renderings);
        QFile::remove(fromDialog);
        QFile::remove(fromCommand);
        const QString corners = QStringLiteral("dialog %1,%2 command %3,%4 own %5,%6")
                                    .arg(dialogCorner.x())
                                    .arg(dialogCorner.y())
                                    .arg(commandCorner.x())
                                    .arg(commandCorner.y())
                                    .arg(ownCorner.x())
                                    .arg(ownCorner.y());
        // One pixel of the rendering apart at most; this queue's driver prints on the whole paper,
        // so the page frame's left edge is where the sheet draws it, 12 mm from the paper's edge.
        constexpr double pixel = 25.4 / 200 + 0.01;
        QVERIFY2(std::abs(dialogCorner.x() - commandCorner.x()) <= pixel, qPrintable(corners));
        QVERIFY2(std::abs(dialogCorner.y() - commandCorner.y()) <= pixel, qPrintable(corners));
        QVERIFY2(std::abs(ownCorner.x() - commandCorner.x()) <= pixel, qPrintable(corners));
        QVERIFY2(std::abs(ownCorner.y() - commandCorner.y()) <= pixel, qPrintable(corners));
        QVERIFY2(std::abs(commandCorner.x() - 11.92) < 0.3, qPrintable(corners));
    }

    void aPrintCancelledHalfWayIsNoJob()
    {
        if (queueMissing())
            return;
        // Enough pages to be stopped at the third: the window shows at once here.
        WorkProgress::setShowAfter(0);
        QueueSheet s(QDate(2037, 11, 24), 28 * 12);
        const QString title = QStringLiteral("棚卸表 2037/11/24");
        const int jobsBefore = jobsTitled(title);
        const CancelWhenShown user(s.w.screen);
        s.w.click("Command3");
        WorkProgress::setShowAfter(700);
        const QString said = user.said.join(u'|');
        QVERIFY2(said.startsWith(QStringLiteral("棚　卸　表　印刷|棚卸表を印刷しています…|")), qPrintable(said));
        QVERIFY2(said.endsWith(QStringLiteral(" / 12 ページ")), qPrintable(said));
        // Nothing reached the queue, and nothing was said: the user stopped it.
        QCOMPARE(jobsTitled(title), jobsBefore);
        QVERIFY2(s.prompter.texts().isEmpty(), qPrintable(s.prompter.texts().join(u'|')));
        QVERIFY(!s.w.screen->findChild<WorkProgress*>());
    }

    void defaultPaperForTheQueue()
    {
        if (queueMissing())
            return;
        // The user chooses A5 in the settings window: the queue's default paper for this user.
        TestSession s;
        CupsPrinterCatalog catalog;
        s.state.printers = &catalog;
        s.state.currentPrinter = Queue;
        ScreenTest::Driver<frmPrinterP> w;
        w.screen = new frmPrinterP(s.state, catalog);
        w.screen->show();
        ScreenTest::settle();
        QCOMPARE(w.find<QComboBox>("Combo3")->currentText(), Queue);
        QVERIFY(ScreenTest::chooseFromList(w.find<QComboBox>("Combo2"), QStringLiteral("A5")));
        QCOMPARE(catalog.details(Queue)->paperCode, 11);

        QVERIFY(catalog.setDefaultPaper(Queue, 9));
        QCOMPARE(catalog.details(Queue)->paperCode, 9);
    }
};

KOTRINA_REGISTER_TEST(TestPrinterQueue)
#include "TestPrinterQueue.moc"
