#include "CliRun.h"
#include "TestRegistry.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

// What a first try of the installed command line turned up.
class TestCommandTrials : public QObject
{
    Q_OBJECT

private slots:
    void theManualsDescribeEveryCommand()
    {
        QFile page(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/kotrina.1.in"));
        QFile guide(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../docs/manual/commandline.html"));
        QVERIFY(page.open(QIODevice::ReadOnly) && guide.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        const QString listing = QString::fromUtf8(guide.readAll());
        const Run help = kotrina({ u"help"_qs });
        // The list of `kotrina help`: two spaces, the command, at least two spaces, its text.
        static const QRegularExpression listed(u"^  (\\S+(?: \\S+)?)  +\\S"_qs, QRegularExpression::MultilineOption);
        QStringList commands;
        for (auto m = listed.globalMatch(help.out); m.hasNext();)
            commands << m.next().captured(1);
        QVERIFY(commands.size() >= 9);
        for (const QString& command : commands)
            QVERIFY2(text.contains(command) && listing.contains(u"<code>"_qs + command + u"</code>"_qs),
                     qPrintable(command));
    }
};

KOTRINA_REGISTER_TEST(TestCommandTrials)
#include "TestCommandTrials.moc"
