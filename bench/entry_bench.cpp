// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the entry screen's work on a large business file.
//   bench_entry [FILE.idb]   (made when missing: a million lines, a hundred thousand products)
// Prints the median, the 95th percentile and the slowest of repeated runs of each step.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/masters/LookupModel.h"
#include "core/store/DatabaseName.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The median and the 95th percentile of times in ms, as measure() takes them.
void printSpread(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("  %-60s median %8.3f  p95 %8.3f ms (%zu runs)\n", what, ms[ms.size() / 2], ms[ms.size() * 95 / 100],
                ms.size());
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-large.idb");
    // A server URI measures the database there: an empty database gets the schema (its rows
    // are loaded from elsewhere, e.g. `kotrina copy` of the bench file) and the run ends.
    const bool server = DatabaseName::isServer(path);
    if (server) {
        if (!Database().open(path)) {
            QString error;
            if (!Database::initServer(path, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            std::printf("schema made in %s; load the rows and run again\n", qPrintable(DatabaseName::display(path)));
            return 0;
        }
    } else if (!ensureBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path)) {
        return 1;
    }

    QTemporaryDir home;
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(home.filePath(QStringLiteral("Kotrina.conf")), clock);
    SilentPrompter prompter;
    AppState state(Paths(home.path(), home.path(), settings.fileName()), settings, prompter, clock);
    QElapsedTimer opening;
    opening.start();
    if (!state.DatabaseConnection.open(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const Database& db = state.DatabaseConnection;
    // BENCH_ENTRY_ONLY=lookup, history, status, grid, entry or registration runs that part alone
    // (for a profiler); all of them run without it.
    const QByteArray only = qgetenv("BENCH_ENTRY_ONLY");
    const auto part = [&only](const char* name) { return only.isEmpty() || only == name; };

    // The yardstick: a plain scan of the 200,000 lines of a date, summing their amounts, on a
    // connection of its own (its page cache is not the program's). It runs between the runs
    // of the interactive steps, so a machine busy with other work shows in both: compare a
    // step with the yardstick printed under it, not with another run's figure.
    const QDate day(2026, 3, 31);
    QSqlQuery yardstickScan;
    if (!server) {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("yardstick"));
        other.setDatabaseName(path);
        if (!other.open()) {
            std::fprintf(stderr, "cannot open %s a second time\n", qPrintable(path));
            return 1;
        }
        yardstickScan = QSqlQuery(other);
        yardstickScan.setForwardOnly(true);
        yardstickScan.prepare(
            QStringLiteral(R"(SELECT COUNT("価格"), SUM("価格") FROM "棚卸マスター" WHERE "日付" = ?)"));
    }
    std::vector<double> yardstick;
    // A part run alone (for a profiler) runs without it.
    const bool withYardstick = only.isEmpty() && !server;
    const auto scan = [&] {
        if (!withYardstick)
            return;
        QElapsedTimer timer;
        timer.start();
        yardstickScan.addBindValue(day.toString(Qt::ISODate));
        if (yardstickScan.exec())
            yardstickScan.next();
        yardstickScan.finish();
        yardstick.push_back(double(timer.nsecsElapsed()) / 1e6);
    };
    // A change to the file by another connection, as another program's would be.
    const auto otherProgramChanges = [] {
        QSqlQuery change(QSqlDatabase::database(QStringLiteral("yardstick")));
        change.exec(QStringLiteral(R"(UPDATE "単位" SET "単位" = "単位" WHERE "単位ID" = 1)"));
    };
    // measure() with a run of the yardstick before each run of the step; the yardstick's
    // times are printed under the step's.
    const auto measureWithYardstick = [&](const char* what, int runs, const std::function<void(int)>& step,
                                          const std::function<void(int)>& prepare = {}) {
        yardstick.clear();
        measure(what, runs, step, [&](int i) {
            scan();
            if (prepare)
                prepare(i);
        });
        if (withYardstick)
            printSpread("yardstick, plain scan of 200,000 lines between the runs", yardstick);
    };

    std::printf("opened in %lld ms (a file without the name indexes gets them on opening)\n",
                static_cast<long long>(opening.elapsed()));
    std::printf("file size %lld bytes; name indexes %s\n", static_cast<long long>(QFileInfo(path).size()),
                db.hasNameIndexes() ? "present" : "missing");

    // Texts of every length, matching many, few or no names, with and without Latin letters.
    const QString texts[] = { QString(),
                              QStringLiteral("茶"),
                              QStringLiteral("ペ"),
                              QStringLiteral("緑茶"),
                              QStringLiteral("該当"),
                              QStringLiteral("ml"),
                              QStringLiteral("qz"),
                              QStringLiteral("緑茶5"),
                              QStringLiteral("該当なし"),
                              QStringLiteral("500ml"),
                              QStringLiteral("ML 型"),
                              QStringLiteral("xyz"),
                              QStringLiteral("型番0"),
                              QStringLiteral("型番00"),
                              QStringLiteral("型番001"),
                              QStringLiteral("国産りんご"),
                              QStringLiteral("型番09999"),
                              QStringLiteral("型番012345"),
                              QStringLiteral("特選緑茶500ml 型番000123"),
                              QStringLiteral("100%"),
                              QStringLiteral("a_b") };
    if (part("lookup")) {
        LookupModel products(LookupModel::Kind::Product);
        products.setDatabase(&db);
        for (const QString& text : texts) {
            products.refresh(text);
            const QByteArray what = QStringLiteral("product look-up \"%1\" (%2%3 found)")
                                        .arg(text)
                                        .arg(products.rowCount())
                                        .arg(products.canFetchMore({}) ? QStringLiteral("+") : QString())
                                        .toUtf8();
            measure(what.constData(), 50, [&](int) { products.refresh(text); });
        }

        // The whole refresh as the screen does it, widget included.
        LookupCombo combo(LookupModel::Kind::Product, state);
        const QString typed[] = { QStringLiteral("緑"), QStringLiteral("緑茶"), QStringLiteral("緑茶5") };
        measure("product combo, typing one more character (widget included)", 60,
                [&](int i) { combo.setText(typed[i % 3]); });
    }

    if (part("history")) {
        for (const QString& text : texts) {
            const QByteArray what = QStringLiteral("history over 1,000,000 lines \"%1\" (%2 found)")
                                        .arg(text)
                                        .arg(lineHistory(db, text).size())
                                        .toUtf8();
            measureWithYardstick(what.constData(), 20, [&](int) { lineHistory(db, text); });
        }
    }

    if (part("status")) {
        // The status line counts a date once and then keeps its figures while nothing else
        // changes the file; a change by another connection has it count again.
        measureWithYardstick(
            "status line of a date with 200,000 lines, counted after another program's change", 10,
            [&](int) { statusLineText(db, day); }, [&](int) { otherProgramChanges(); });
        measureWithYardstick("status line of a date with 200,000 lines, shown again", 20,
                             [&](int) { statusLineText(db, day); });
        measureWithYardstick(
            "status line of a date with 200,000 lines, after a registration", 20, [&](int) { statusLineText(db, day); },
            [&](int i) {
                LineInput line;
                line.date = day;
                line.categoryId = 1;
                line.product = QStringLiteral("特選緑茶500ml 型番000123");
                line.quantity = 1 + i;
                line.unit = QStringLiteral("個");
                line.unitPrice = 12.5;
                registerLine(db, line);
            });
        std::printf("status line after: %s (counted: ", qPrintable(statusLineText(db, day)));
        otherProgramChanges();
        std::printf("%s)\n", qPrintable(statusLineText(db, day)));
        db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "日付" = ? AND "ID" > 1000000)"),
                { day.toString(Qt::ISODate) });
    }

    if (part("grid")) {
        LinesModel lines;
        lines.setDatabase(&db);
        measure("line grid: open a date with 200,000 lines and show the last", 10, [&](int) {
            lines.selectDate(day);
            lines.data(lines.index(lines.rowCount() - 1, 3));
        });
    }

    if (part("entry")) {
        // 入力 on the screen, from the click until the grid and the status line are repainted.
        frmTana screen(state, day);
        screen.show();
        settle();
        auto* category = screen.findChild<LookupCombo*>(QStringLiteral("dbcNouhin"));
        auto* product = screen.findChild<LookupCombo*>(QStringLiteral("dbcShohin"));
        auto* quantity = screen.findChild<QLineEdit*>(QStringLiteral("txtCnt"));
        auto* price = screen.findChild<QLineEdit*>(QStringLiteral("txtTanka"));
        auto* add = screen.findChild<QPushButton*>(QStringLiteral("cmdSubAdd"));
        category->setText(QStringLiteral("分類01 みかん"));
        measureWithYardstick(
            "入力 on a date with 200,000 lines, click to repaint", 40,
            [&](int) {
                add->click();
                screen.repaint();
            },
            [&](int i) {
                product->setText(i % 4 == 0 ? QStringLiteral("ベンチ用新商品%1").arg(i)
                                            : QStringLiteral("特選緑茶500ml 型番000123"));
                quantity->setText(QStringLiteral("3"));
                price->setText(QStringLiteral("12.5"));
                settle();
            });
        const QString status = screen.findChild<QLineEdit*>(QStringLiteral("Text3"))->text();
        otherProgramChanges(); // counted afresh
        std::printf("status line after: %s (counted: %s)\n", qPrintable(status), qPrintable(statusLineText(db, day)));
        db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "日付" = ? AND "ID" > 1000000)"),
                { day.toString(Qt::ISODate) });
    }

    if (part("registration")) {
        const QDate benchDay(2030, 3, 31);
        const auto registration = [&](int i) {
            LineInput line;
            line.date = benchDay;
            line.categoryId = 1 + i % 60;
            line.product
                = i % 4 == 0 ? QStringLiteral("ベンチ用新商品%1").arg(i) : QStringLiteral("特選緑茶500ml 型番000123");
            line.quantity = 3;
            line.unit = i % 50 == 0 ? QStringLiteral("新%1").arg(i % 100) : QStringLiteral("個");
            line.unitPrice = 12.5;
            registerLine(db, line);
        };
        measure("registration of one line (new unit/product some of the time)", 200, registration);
        // The same without waiting for the disk: what the database engine itself spends.
        db.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        measure("registration of one line, disk writes not awaited", 200, [&](int i) { registration(i + 200); });
        db.exec(QStringLiteral("PRAGMA synchronous = FULL"));
        db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "日付" = ?)"), { benchDay.toString(Qt::ISODate) });
        db.exec(QStringLiteral(R"(DELETE FROM "仕入商品" WHERE "品名" LIKE 'ベンチ用新商品%')"));
        db.exec(QStringLiteral(R"(DELETE FROM "単位" WHERE "単位" LIKE '新%')"));
    }
    return 0;
}
