// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the summary list on a large business file, against the sqlite3 program.
//   bench_summary [FILE.idb]   (made when missing, as for bench_entry)

#include "BenchData.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/lines/SummaryViews.h"
#include "core/store/NameOrder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <cstdio>
#include <tuple>

namespace {

// Wall time in ms of one sqlite3 process that runs the statement the given number of times.
double sqliteRun(const QString& path, const QString& statement, int times)
{
    QString script = QStringLiteral(".output /dev/null\n");
    for (int i = 0; i < times; ++i)
        script += statement + QStringLiteral(";\n");
    QProcess sqlite;
    QElapsedTimer timer;
    timer.start();
    sqlite.start(QStringLiteral("sqlite3"), { QStringLiteral("-readonly"), path });
    sqlite.write(script.toUtf8());
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(-1);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (sqlite.exitCode() != 0 || !sqlite.readAllStandardError().isEmpty())
        std::printf("sqlite3 failed: %s\n", sqlite.readAllStandardError().constData());
    return ms;
}

// The time of one run of the statement by sqlite3, start-up of the program left out: the
// difference between a process running it `times` times and one running it once, per run.
double sqliteOnce(const QString& path, const QString& statement)
{
    constexpr int times = 4;
    return (sqliteRun(path, statement, times) - sqliteRun(path, statement, 1)) / (times - 1);
}

// Wall time in ms of running the statement for the day on the connection and reading every row.
double runHere(const Database& db, const QString& statement, const QString& day)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(statement);
    q.addBindValue(day);
    if (!q.exec())
        std::printf("statement failed\n");
    while (q.next()) {
        for (int c = 0; c < 4; ++c)
            q.value(c);
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Database db;
    if (!openBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), argc, argv, db))
        return 1;
    const QString path = db.fileName();
    const QDate day(2026, 3, 31);
    const QString literalDay = QLatin1Char('\'') + storedDate(day) + QLatin1Char('\'');

    TotalsModel totals;
    for (const auto& [by, what, nameColumn] :
         { std::tuple { TotalsModel::By::Category, "category totals (200,000 lines)", R"("項目分類名")" },
           std::tuple { TotalsModel::By::Product, "product totals (200,000 lines)", R"(s."品名")" } }) {
        totals.select(db, by, day); // warm the page cache
        // The same statement with the names in the order of their bytes: what the sqlite3
        // program can run (it knows no Japanese order), and the cost of that order here.
        const QString japanese = TotalsModel::statement(Engine::Sqlite, by);
        const QString name = QString::fromUtf8(nameColumn);
        QString bytewise = japanese;
        bytewise.replace(NameOrder::orderBy(Engine::Sqlite, name), name);
        // Taken in turns, so a machine busy with other work slows all alike.
        std::vector<double> ours;
        std::vector<double> japaneseHere;
        std::vector<double> bytewiseHere;
        std::vector<double> theirs;
        for (int round = 0; round < 7; ++round) {
            QElapsedTimer timer;
            timer.start();
            totals.select(db, by, day);
            ours.push_back(double(timer.nsecsElapsed()) / 1e6);
            japaneseHere.push_back(runHere(db, japanese, storedDate(day)));
            bytewiseHere.push_back(runHere(db, bytewise, storedDate(day)));
            theirs.push_back(sqliteOnce(path, QString(bytewise).replace(QLatin1Char('?'), literalDay)));
        }
        std::printf("%-40s %d rows: here %.1f ms, sqlite3 program in byte order %.1f ms (medians of 7 turns); "
                    "ratio %.2f (target <= 1.5)\n",
                    what, totals.rowCount(), median(ours), median(theirs), median(ours) / median(theirs));
        std::printf("%-40s Japanese order %.1f ms, byte order %.1f ms: ratio %.2f (target <= 1.3)\n", "",
                    median(japaneseHere), median(bytewiseHere), median(japaneseHere) / median(bytewiseHere));
    }

    LinesModel lines(LinesModel::Listing::WithCategoryName);
    lines.setDatabase(&db);
    const auto firstScreen = [&](int top) {
        for (int r = top; r < top + 40 && r < lines.rowCount(); ++r) {
            for (int c = 0; c < lines.columnCount(); ++c)
                lines.data(lines.index(r, c));
        }
    };
    measure("all lines of the date: open and first screen", 20, [&](int) {
        lines.select(CategorisedLines::ofDate(day));
        firstScreen(0);
    });
    std::printf("  %d lines listed\n", lines.rowCount());
    measure("scrolling down 40 rows at a time, from row 100,000", 200, [&](int i) { firstScreen(100000 + i * 40); });
    measure("jump to the last screen", 20, [&](int) { firstScreen(lines.rowCount() - 40); });
    measure("lines without unit price: open and first screen", 20, [&](int) {
        lines.select(CategorisedLines::ofDate(day, true));
        firstScreen(0);
    });

    LinesModel wholeLines;
    wholeLines.setDatabase(&db);
    measure("the correction screen's lines of the date, for comparison", 20, [&](int) {
        wholeLines.selectDate(day);
        for (int r = 0; r < 40; ++r) {
            for (int c = 0; c < wholeLines.columnCount(); ++c)
                wholeLines.data(wholeLines.index(r, c));
        }
    });

    LinesModel checked;
    checked.setDatabase(&db);
    measure("category check and its first screen", 10, [&](int) {
        markLinesWithoutCategory(db, day);
        checked.select(LineSelections::marked(day));
        firstScreen(0);
    });
    measure("product check and its first screen", 10, [&](int) {
        markLinesWithoutProduct(db, day);
        checked.select(LineSelections::marked(day));
        firstScreen(0);
    });
    return 0;
}
