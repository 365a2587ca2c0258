#include "ScreenTest.h"
#include "TestRegistry.h"
#include "TestSession.h"
#include "gui/printing/CupsPrinterCatalog.h"
#include "gui/printing/frmPrinterP.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
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
        // It lands a moment after the job is sent; pdfinfo reads it once it is whole.
        const QDir folder = landingFolder();
        QString landed;
        QString info;
        const auto arrived = [&] {
            const QStringList found = folder.entryList({ title + QStringLiteral("*.pdf") }, QDir::Files);
            if (found.isEmpty())
                return false;
            landed = folder.filePath(found.first());
            QProcess pdfinfo;
            pdfinfo.start(QStringLiteral("pdfinfo"), { landed });
            pdfinfo.waitForFinished(30000);
            info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
            return pdfinfo.exitCode() == 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(arrived(), 90000);
        QFile::remove(landed);
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
        QVERIFY2(info.contains(QStringLiteral("(A4)")), qPrintable(info));
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
