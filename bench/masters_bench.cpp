// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Speed of the product screen on a hundred thousand products.
//   bench_masters [FILE.idb]   (made when missing, as for bench_entry)
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/masters/MasterModel.h"
#include "gui/masters/frmInShohin.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[])
{
    drawOffscreenUnlessTold();
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench-large.idb");
    if (!ensureBenchData(QStringLiteral(KOTRINA_TEMPLATE_FILE), path))
        return 1;

    BenchSession session;
    AppState& state = session.state;
    if (!state.DatabaseConnection.open(path))
        return 1;

    MasterModel model(MasterTable::products());
    model.setDatabase(&state.DatabaseConnection);
    measure("product list (100,000) by name: open and first screen", 20, [&](int) {
        model.open(MasterOrder::ByName);
        for (int r = 0; r < 30; ++r)
            model.data(model.index(r, 1));
    });
    measure("product list by ID: open and first screen", 20, [&](int) {
        model.open(MasterOrder::ById);
        for (int r = 0; r < 30; ++r)
            model.data(model.index(r, 1));
    });
    model.open(MasterOrder::ByName);
    measure("scrolling 30 rows at a time, from row 50,000", 200, [&](int i) {
        const int top = 50000 + i * 30;
        for (int r = top; r < top + 30; ++r)
            model.data(model.index(r, 1));
    });
    measure("jump to the last screen", 20, [&](int i) {
        model.open(i % 2 ? MasterOrder::ById : MasterOrder::ByName);
        for (int r = model.rowCount() - 30; r < model.rowCount(); ++r)
            model.data(model.index(r, 1));
    });

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
    measure("product screen: new record (next ID, write, append, show)", 20, [&](int) {
        screen.findChild<QPushButton*>(QStringLiteral("cmdAdd"))->click();
        grid->viewport()->repaint();
        screen.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
    });
    return 0;
}
