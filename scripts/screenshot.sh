#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Takes a picture of the main window (offscreen, no display needed) into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target kotrina-screenshot kotrina_template
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/main-window.png
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/main-window-repair.png --repair
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/entry-screen.png --entry
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/correction-screen.png --correction
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/categories-screen.png --categories
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/products-screen.png --products
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/product-codes.png --product-codes
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/printer-settings.png --printers
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/print-dialog.png --print
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/print-book-dialog.png --print-book
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/print-summary-dialog.png --print-summary
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/import-lines.png --import-lines
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/import-columns.png --import-columns
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/import-products.png --import-products
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/history-screen.png --history
QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/line-history.png --line-history
for view in 0 1 2 3 4 5; do
    QT_QPA_PLATFORM=offscreen "$build/kotrina-screenshot" docs/summary-list-$view.png --summary $view
done
echo "docs/import-lines.png docs/import-columns.png docs/import-products.png docs/print-dialog.png docs/print-book-dialog.png docs/print-summary-dialog.png docs/printer-settings.png docs/summary-list-[0-5].png docs/categories-screen.png docs/products-screen.png docs/product-codes.png docs/main-window.png docs/main-window-repair.png docs/entry-screen.png docs/correction-screen.png docs/history-screen.png docs/line-history.png"
