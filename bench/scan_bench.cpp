// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of scanning at the entry screen on a large business file.
//   bench_scan FILE.idb   (a copy: codes are added to its products, lines registered and removed)
// Gives 150,000 codes to the 100,000 products when they have none, then times, on a date with
// 200,000 lines, a scan in scan mode from the scanner's Enter until the big count is
// repainted: of the code counted (adds 1) and of another code (registers the line first),
// and a scan in normal mode until the boxes are filled. The digits come as a scanner's, a
// key every 5 ms by the times they carry; only the Enter and the repaint are timed, and,
// apart, the whole scan's work, every key handled.

#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/masters/ProductCodes.h"
#include "gui/entry/frmTana.h"
#include "gui/widgets/LookupCombo.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// The in-store code (prefix 20) of a product number; the products' second codes start at 21.
QString codeOf(int prefix, int number)
{
    const QString digits = QStringLiteral("%1%2").arg(prefix).arg(number, 10, 10, QLatin1Char('0'));
    return digits + QString::number(ProductCodes::checkDigit(digits));
}

bool giveCodes(const Database& db)
{
    QSqlQuery count(db.connection());
    if (!count.exec(QStringLiteral(R"(SELECT COUNT(*) FROM "商品コード")")) || !count.next())
        return false;
    if (count.value(0).toInt() >= 150000)
        return true;
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(db);
    QSqlQuery insert(db.connection());
    insert.prepare(QStringLiteral(R"(INSERT OR IGNORE INTO "商品コード" ("コード", "品名ID", "順番")
        SELECT ?, "品名ID", ? FROM "仕入商品" WHERE "品名ID" = ?)"));
    for (int id = 1; id <= 100000; ++id) {
        for (int order = 0; order < (id % 2 == 0 ? 2 : 1); ++order) {
            insert.addBindValue(codeOf(20 + order, id));
            insert.addBindValue(order);
            insert.addBindValue(id);
            insert.exec();
        }
    }
    QString error;
    if (!transaction.commit(&error))
        return false;
    std::printf("gave 150,000 codes to the products in %lld ms\n", static_cast<long long>(timer.elapsed()));
    return true;
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// A scanner's keys, each with the time it was pressed (a key every 5 ms), as the window
// system hands them over; the time the program spends on them does not stretch the gaps.
ulong pressed = 1000;

void press(Qt::Key key, const QString& text)
{
    pressed += 5;
    for (const QEvent::Type type : { QEvent::KeyPress, QEvent::KeyRelease }) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        event.setTimestamp(pressed);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }
}

void typeDigits(const QString& code)
{
    for (const QChar c : code)
        press(Qt::Key(Qt::Key_0 + c.digitValue()), QString(c));
}

void pressEnter()
{
    press(Qt::Key_Return, QStringLiteral("\r"));
}

// The pause before the next scan.
void betweenScans()
{
    settle();
    pressed += 1000;
}

// measure() of BenchData with the processor time of this thread beside the wall clock: on a
// machine busy with other work the wall clock grows, the processor time hardly.
void timed(const char* what, int runs, const std::function<void(int)>& step, const std::function<void(int)>& prepare)
{
    std::vector<double> cpu;
    measure(
        what, runs,
        [&](int i) {
            timespec start {};
            timespec end {};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
            step(i);
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
            cpu.push_back(double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6);
        },
        prepare);
    std::sort(cpu.begin(), cpu.end());
    std::printf("  %-60s median %8.3f  p95 %8.3f ms\n", "processor time of the same", cpu[cpu.size() / 2],
                cpu[cpu.size() * 95 / 100]);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_scan COPY-OF-LARGE.idb\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (!ensureBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path))
        return 1;
    QTemporaryDir home;
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(home.filePath(QStringLiteral("Kotrina.conf")), clock);
    SilentPrompter prompter;
    AppState state(Paths(home.path(), home.path(), settings.fileName()), settings, prompter, clock);
    if (!state.DatabaseConnection.open(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const Database& db = state.DatabaseConnection;
    if (!giveCodes(db)) {
        std::fprintf(stderr, "cannot give the products codes\n");
        return 1;
    }
    const QDate day(2026, 3, 31);
    QSqlQuery lines(db.connection());
    lines.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "棚卸マスター" WHERE "日付" = ?)"));
    lines.addBindValue(day.toString(Qt::ISODate));
    if (lines.exec() && lines.next())
        std::printf("%d lines on %s\n", lines.value(0).toInt(), qPrintable(day.toString(Qt::ISODate)));
    lines.finish();
    QElapsedTimer finding;
    finding.start();
    for (int id = 1; id <= 1000; ++id)
        ProductCodes::findByCode(db, codeOf(20, id * 97));
    std::printf("finding a product by its code: %.3f ms each\n", double(finding.nsecsElapsed()) / 1e6 / 1000);

    // Without a category question: the lines go to a category of their own.
    frmTana screen(state, day);
    screen.show();
    QApplication::setActiveWindow(&screen);
    settle();
    auto* category = screen.findChild<LookupCombo*>(QStringLiteral("dbcNouhin"));
    auto* product = screen.findChild<LookupCombo*>(QStringLiteral("dbcShohin"));
    auto* price = screen.findChild<QLineEdit*>(QStringLiteral("txtTanka"));
    auto* count = screen.findChild<QLabel*>(QStringLiteral("lblScanCount"));
    category->setText(QStringLiteral("分類01 みかん"));
    screen.findChild<QCheckBox*>(QStringLiteral("chkScan"))->setChecked(true);
    product->setFocus();
    settle();

    const auto enterToRepaint = [&](int) {
        pressEnter();
        count->repaint();
    };
    const QString same = codeOf(20, 4242);
    typeDigits(same);
    enterToRepaint(0);
    betweenScans();
    timed("scan mode, the code counted: Enter to repainted count", 40, enterToRepaint, [&](int) {
        betweenScans();
        typeDigits(same);
    });
    std::printf("  count shown: %s\n", qPrintable(count->text()));
    // Every scan another product: the line before is registered first.
    timed("scan mode, another code (registers a line): Enter to repaint", 40, enterToRepaint, [&](int i) {
        betweenScans();
        price->setText(QStringLiteral("100"));
        typeDigits(codeOf(20 + i % 2, 2 * (1000 + i)));
    });
    std::printf("  count shown: %s\n", qPrintable(count->text()));
    // The same without waiting for the disk: what the program itself spends.
    db.exec(QStringLiteral("PRAGMA synchronous = OFF"));
    timed("the same, disk writes not awaited", 40, enterToRepaint, [&](int i) {
        betweenScans();
        price->setText(QStringLiteral("100"));
        typeDigits(codeOf(20 + i % 2, 2 * (2000 + i)));
    });
    db.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    // The whole work of a scan: every key handled.
    timed(
        "scan mode, the code counted: the 13 keys and Enter", 40,
        [&](int) {
            typeDigits(same);
            pressEnter();
            count->repaint();
        },
        [&](int) { betweenScans(); });
    std::printf("  count shown: %s\n", qPrintable(count->text()));

    screen.findChild<QCheckBox*>(QStringLiteral("chkScan"))->setChecked(false);
    timed(
        "normal mode: Enter to the product's boxes filled and repainted", 20,
        [&](int) {
            pressEnter();
            screen.repaint();
        },
        [&](int i) {
            betweenScans();
            product->setFocus();
            product->setText(QString());
            betweenScans();
            typeDigits(codeOf(20, 3 * (1000 + i)));
        });
    settle();
    db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "日付" = ? AND "ID" > 1000000)"),
            { day.toString(Qt::ISODate) });
    return 0;
}
