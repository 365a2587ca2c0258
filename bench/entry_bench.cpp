// Speed of the entry screen's work on a large business file.
//   bench_entry [FILE.idb]   (made when missing: a million lines, a hundred thousand products)
// Prints the median and the slowest of repeated runs of each step.

#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/masters/LookupModel.h"
#include "gui/widgets/LookupCombo.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-large.idb");
    if (!ensureBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path))
        return 1;

    QTemporaryDir home;
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(home.filePath(QStringLiteral("Kotrina.conf")), clock);
    WidgetPrompter prompter;
    AppState state(Paths(home.path(), home.path(), settings.fileName()), settings, prompter, clock);
    if (!state.DatabaseConnection.open(path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }
    const Database& db = state.DatabaseConnection;

    LookupModel products(LookupModel::Kind::Product);
    products.setDatabase(&db);
    measure("product look-up, empty text (on focus)", 50, [&](int) { products.refresh(QString()); });
    measure("product look-up, one character \"茶\"", 50, [&](int) { products.refresh(QStringLiteral("茶")); });
    measure("product look-up, one character \"ペ\" (rarer)", 50, [&](int) { products.refresh(QStringLiteral("ペ")); });
    measure("product look-up, two characters \"緑茶\"", 50, [&](int) { products.refresh(QStringLiteral("緑茶")); });
    measure("product look-up, two characters matching nothing \"該当\"", 50,
            [&](int) { products.refresh(QStringLiteral("該当")); });
    measure("product look-up, a product number \"型番09999\"", 50,
            [&](int) { products.refresh(QStringLiteral("型番09999")); });

    // The whole refresh as the screen does it, widget included.
    LookupCombo combo(LookupModel::Kind::Product, state);
    const QString typed[] = { QStringLiteral("緑"), QStringLiteral("緑茶"), QStringLiteral("緑茶5") };
    measure("product combo, typing one more character (widget included)", 60,
            [&](int i) { combo.setText(typed[i % 3]); });

    measure("history of a product over 1,000,000 lines, \"緑茶500ml\"", 10,
            [&](int) { lineHistory(db, QStringLiteral("緑茶500ml")); });
    measure("history of a product over 1,000,000 lines, \"型番012345\"", 10,
            [&](int) { lineHistory(db, QStringLiteral("型番012345")); });

    const QDate day(2026, 3, 31);
    measure("status line of a date with 200,000 lines", 20, [&](int) { statusLineText(db, day); });

    LinesModel lines;
    lines.setDatabase(&db);
    measure("line grid: open a date with 200,000 lines and show the last", 10, [&](int) {
        lines.selectDate(day);
        lines.data(lines.index(lines.rowCount() - 1, 3));
    });

    const QDate benchDay(2030, 3, 31);
    measure("registration of one line (new unit/product some of the time)", 200, [&](int i) {
        LineInput line;
        line.date = benchDay;
        line.categoryId = 1 + i % 60;
        line.product
            = i % 4 == 0 ? QStringLiteral("ベンチ用新商品%1").arg(i) : QStringLiteral("特選緑茶500ml 型番000123");
        line.quantity = 3;
        line.unit = i % 50 == 0 ? QStringLiteral("新%1").arg(i % 100) : QStringLiteral("個");
        line.unitPrice = 12.5;
        registerLine(db, line);
    });
    db.exec(QStringLiteral(R"(DELETE FROM "棚卸マスター" WHERE "日付" = ?)"), { benchDay.toString(Qt::ISODate) });
    db.exec(QStringLiteral(R"(DELETE FROM "仕入商品" WHERE "品名" LIKE 'ベンチ用新商品%')"));
    db.exec(QStringLiteral(R"(DELETE FROM "単位" WHERE "単位" LIKE '新%')"));
    return 0;
}
