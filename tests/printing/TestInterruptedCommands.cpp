#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <csignal>

// A verb of the command line asked to end while it writes (a desktop logging out, a
// terminal closed, Ctrl+C).
class TestInterruptedCommands : public QObject
{
    Q_OBJECT

private slots:
    void stoppedWhileWritingLeavesTheEarlierOutput_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("signal");
        // The sample lines name categories the file does not hold: they go to 未区分 first.
        const QStringList sheet { u"print"_qs, u"sheet"_qs, u"--move-to-uncategorised"_qs };
        QTest::newRow("print sheet, SIGTERM") << sheet << u"棚卸表.pdf"_qs << SIGTERM;
        QTest::newRow("print sheet, SIGINT") << sheet << u"棚卸表.pdf"_qs << SIGINT;
        QTest::newRow("export lines, SIGTERM")
            << QStringList { u"export"_qs, u"lines"_qs } << u"棚卸.xlsx"_qs << SIGTERM;
    }

    void stoppedWhileWritingLeavesTheEarlierOutput()
    {
        QFETCH(QStringList, command);
        QFETCH(QString, output);
        QFETCH(int, signal);
        TestEnvironment env;
        const QString file = sampleDatabase(env, 40000);
        QVERIFY(!file.isEmpty());
        const QString target = env.writeFile(u"出力/"_qs + output, "the earlier output");
        const QDir folder(QFileInfo(target).absolutePath());
        const QString option = output.endsWith(u".pdf"_qs) ? u"--pdf"_qs : u"--xlsx"_qs;

        QProcess program;
        program.start(QStringLiteral(KOTRINA_EXECUTABLE),
                      command.first(2) + QStringList { file } + command.mid(2)
                          + QStringList { u"--date"_qs, u"2026-03-31"_qs, option, target });
        // The command is writing once a file of its own appears beside the target.
        const bool ended = !QTest::qWaitFor(
            [&] {
                return program.state() == QProcess::NotRunning
                    || folder.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size() > 1;
            },
            60000);
        if (ended || program.state() == QProcess::NotRunning)
            QSKIP(qPrintable(u"the command ended before it could be stopped: "_qs
                             + QString::fromUtf8(program.readAllStandardError())));
        QCOMPARE(::kill(pid_t(program.processId()), signal), 0);
        QVERIFY(program.waitForFinished(30000));

        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 128 + signal);
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(errors.contains(u"処理を中断しました"_qs), qPrintable(errors));
        QCOMPARE(readAll(target), QByteArray("the earlier output"));
    }
};

KOTRINA_REGISTER_TEST(TestInterruptedCommands)
#include "TestInterruptedCommands.moc"
