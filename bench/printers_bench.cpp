// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Opening the printer settings and the stocktaking sheet's print dialog: 20 printers in a listed
// catalogue (the settings ask the driver of the current one), and the machine's own CUPS printers
// for comparison. Target: 200 ms each.
#include "BenchData.h"
#include "core/app/AppState.h"
#include "core/printing/PrinterCatalog.h"
#include "gui/printing/CupsPrinterCatalog.h"
#include "gui/printing/DialogTanaMoto1.h"
#include "gui/printing/frmPrinterP.h"

#include <QApplication>
#include <cstdio>
#include <memory>
#include <type_traits>

namespace {

// Twenty office printers, each offering the 118 named paper sizes and a few of its own.
class TwentyPrinters final : public PrinterCatalog
{
public:
    QStringList printerNames() const override
    {
        QStringList names;
        for (int i = 1; i <= 20; ++i)
            names << QStringLiteral("事務所のプリンタ %1").arg(i);
        return names;
    }
    QString defaultPrinter() const override { return QStringLiteral("事務所のプリンタ 20"); }
    std::optional<PrinterDetails> details(const QString&) const override
    {
        PrinterDetails details { {}, 999, 7, 9, 210, 297 };
        for (int code = 1; code <= 130; ++code)
            details.papers.append({ code <= 118 ? code : code + 138, QStringLiteral("用紙 %1").arg(code) });
        return details;
    }
    bool setDefaultPaper(const QString&, int) override { return true; }
};

template<typename Window> void measureOpening(const char* what, AppState& state, PrinterCatalog& printers)
{
    state.printers = &printers;
    state.currentPrinter = printers.defaultPrinter();
    state.PrinterName = state.currentPrinter;
    measure(what, 21, [&](int) {
        std::unique_ptr<Window> window;
        if constexpr (std::is_same_v<Window, frmPrinterP>)
            window = std::make_unique<Window>(state, printers);
        else
            window = std::make_unique<Window>(state, state.clock.today());
        window->show();
        QApplication::processEvents();
    });
}

} // namespace

int main(int argc, char* argv[])
{
    drawOffscreenUnlessTold();
    QApplication app(argc, argv);
    BenchSession session;
    AppState& state = session.state;

    TwentyPrinters twenty;
    measureOpening<frmPrinterP>("printer settings, 20 listed printers (target 200 ms)", state, twenty);
    measureOpening<DialogTanaMoto1>("print dialog, 20 listed printers (target 200 ms)", state, twenty);
    CupsPrinterCatalog cups;
    std::printf("CUPS printers of this machine: %lld\n", static_cast<long long>(cups.printerNames().size()));
    measureOpening<frmPrinterP>("printer settings, the CUPS printers of this machine", state, cups);
    measureOpening<DialogTanaMoto1>("print dialog, the CUPS printers of this machine", state, cups);
    return 0;
}
