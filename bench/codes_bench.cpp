// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the products' codes: a hundred thousand products with 150,000 codes.
//   bench_codes [FILE.idb]   (made when missing: the generated products, 20,000 lines, the codes)
// Times findByCode for codes that are there and codes that are not (goal: 1 ms), and the
// product screen's list with the column of the first code against the same list without it.
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "BenchData.h"
#include "core/masters/MasterModel.h"
#include "core/masters/ProductCodes.h"
#include "gui/masters/frmInShohin.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTableView>
#include <cstdio>

namespace {

constexpr int Products = 100000;
constexpr int Codes = 150000;

// The i-th generated code: EAN-13 codes 45 + ten digits, and every fourth an EAN-8 49 + five.
QString codeNumber(int i)
{
    const QString digits = i % 4 == 3 ? QStringLiteral("49%1").arg(i / 4, 5, 10, QLatin1Char('0'))
                                      : QStringLiteral("45%1").arg(qint64(i) * 7919, 10, 10, QLatin1Char('0'));
    return digits + QString::number(ProductCodes::checkDigit(digits));
}

// A valid code no product has: another prefix.
QString missingCode(int i)
{
    const QString digits = QStringLiteral("46%1").arg(qint64(i) * 104729 % 10000000000LL, 10, 10, QLatin1Char('0'));
    return digits + QString::number(ProductCodes::checkDigit(digits));
}

// The first half of the products get two codes (a piece and a case), the others one.
bool addCodes(const Database& db)
{
    Transaction transaction(db);
    for (int i = 0; i < Codes; ++i) {
        const int product = i < 2 * (Codes - Products) ? 1 + i / 2 : 1 + (i - (Codes - Products));
        if (!db.exec(QStringLiteral(R"(INSERT INTO "商品コード" VALUES (?, ?, ?))"),
                     { codeNumber(i), product, i < 2 * (Codes - Products) ? i % 2 : 0 }))
            return false;
    }
    return transaction.commit();
}

bool ensureFile(const QString& path)
{
    if (QFileInfo::exists(path))
        return true;
    std::printf("generating %s ...\n", qPrintable(path));
    QString error;
    BenchDataSize size;
    size.lines = 20000;
    size.dates = 1;
    size.products = Products;
    if (!generateBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path, size, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    Database db;
    return db.open(path) && addCodes(db);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The product list as it was before the code column: the table's own four columns.
const MasterTable& productsWithoutCodes()
{
    static const MasterTable t { MasterTable::products().table, MasterTable::products().columns, QString(),
                                 MasterTable::products().numberColumn };
    return t;
}

void timeList(const char* label, const MasterTable& table, Database& db)
{
    MasterModel model(table);
    model.setDatabase(&db);
    const int columns = model.columnCount();
    auto screenful = [&](int top) {
        for (int r = top; r < top + 30; ++r)
            for (int c = 0; c < columns; ++c)
                model.data(model.index(r, c));
    };
    std::printf("-- %s\n", label);
    measure("  by name: open and first screen", 10, [&](int) {
        model.open(MasterOrder::ByName);
        screenful(0);
    });
    measure("  by ID: open and first screen", 10, [&](int) {
        model.open(MasterOrder::ById);
        screenful(0);
    });
    model.open(MasterOrder::ByName);
    measure("  scrolling 30 rows at a time from row 50,000 (by name)", 200, [&](int i) { screenful(50000 + i * 30); });
}

} // namespace

int main(int argc, char* argv[])
{
    drawOffscreenUnlessTold();
    QApplication app(argc, argv);
    const QString path
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath(QStringLiteral("bench-codes.idb"));
    if (!ensureFile(path))
        return 1;
    BenchSession session;
    AppState& state = session.state;
    Database& db = state.DatabaseConnection;
    if (!db.open(path))
        return 1;

    QRandomGenerator random(4711);
    std::vector<QString> there, missing;
    for (int i = 0; i < 20000; ++i) {
        there.push_back(codeNumber(int(random.bounded(Codes))));
        missing.push_back(missingCode(i));
    }
    // The very first look-up prepares its statement and reads its pages from the disk.
    QElapsedTimer first;
    first.start();
    int found = ProductCodes::findByCode(db, there.back()) ? 0 : -1;
    std::printf("findByCode, the first after opening: %.3f ms\n", double(first.nsecsElapsed()) / 1e6);
    measure("findByCode, a code that is there (random of 150,000)", 20000,
            [&](int i) { found += ProductCodes::findByCode(db, there[size_t(i)]) ? 1 : 0; });
    measure("findByCode, a valid code nobody has", 20000,
            [&](int i) { found += ProductCodes::findByCode(db, missing[size_t(i)]) ? 1 : 0; });
    std::printf("(found %d of 20000 codes that are there, and none of the others: %s)\n", found,
                found == 20000 ? "right" : "WRONG");

    timeList("product list with the column of the first code", MasterTable::products(), db);
    timeList("product list without it (as before)", productsWithoutCodes(), db);

    measure("product screen: construct, show and paint", 10, [&](int) {
        frmInShohin screen(state);
        screen.show();
        settle();
        screen.grab();
        screen.close();
    });
    frmInShohin screen(state);
    screen.show();
    settle();
    auto* byId = screen.findChild<QRadioButton*>(QStringLiteral("Option1"));
    auto* byName = screen.findChild<QRadioButton*>(QStringLiteral("Option2"));
    auto* grid = screen.findChild<QTableView*>(QStringLiteral("DataGrid1"));
    measure("product screen: click a sort option until repainted", 20, [&](int i) {
        (i % 2 ? byName : byId)->click();
        grid->viewport()->repaint();
    });
    auto* search = screen.findChild<QLineEdit*>(QStringLiteral("txtSearch"));
    measure("product screen: a scanned code to its product shown", 200, [&](int i) {
        search->setText(there[size_t(i)]);
        Q_EMIT search->returnPressed();
        grid->viewport()->repaint();
    });
    return 0;
}
