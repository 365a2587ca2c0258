// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Draws the main window on a fresh database into a PNG file, for the documentation.
//   kotrina-screenshot OUTPUT.png [--repair | --entry | --correction | --categories | --products | --product-codes
//                                  | --summary VIEW | --printers | --print | --print-book | --print-summary
//                                  | --history | --line-history | --import-lines | --import-columns |
//                                  --import-differences | --import-products | --server]
// --history draws the change history of the date and --line-history the history of one line;
// --printers draws the printer settings and --print the stocktaking sheet's print dialog on the printers of this
// machine, --print-book the count book's and --print-summary the product summary sheet's; --repair also shows the
// repair and deletion frame; the other options draw that screen instead, on a file with a few lines typed. VIEW is the
// number (0 to 5) of the summary list's view, in the order of its combo. --import-lines and --import-products draw
// the two imports with a file chosen, --import-columns the stocktaking import's column assignment on a file's headings,
// --import-differences the same on a file whose headings are no longer those of the saved assignment;
// --file-dialog the imports' file dialog on a folder of a few files; --server the dialog サーバーに接続 filled in.

#include "core/app/AppState.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/printing/SummarySheet.h"
#include "core/store/FileOps.h"
#include "gui/entry/frmTana.h"
#include "gui/imports/ImportColumnsDialog.h"
#include "gui/imports/ImportForms.h"
#include "gui/imports/ImportRunDialog.h"
#include "gui/masters/DialogShohinCode.h"
#include "gui/masters/frmInShohin.h"
#include "gui/masters/frmKoumoku.h"
#include "gui/printing/CupsPrinterCatalog.h"
#include "gui/printing/DialogTanaMoto1.h"
#include "gui/printing/DialogTanaMoto2.h"
#include "gui/printing/DialogTanaMoto3.h"
#include "gui/printing/frmPrinterP.h"
#include "gui/review/frmInAmd2.h"
#include "gui/review/frmList.h"
#include "gui/review/frmRireki.h"
#include "gui/review/frmRirekiLine.h"
#include "gui/shell/ApplicationSetup.h"
#include "gui/shell/DialogServer.h"
#include "gui/shell/frmAMain.h"
#include "gui/widgets/WidgetPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(
            stderr,
            "usage: kotrina-screenshot OUTPUT.png [--repair | --entry | --correction | --categories | --products"
            " | --product-codes"
            " | --summary VIEW | --printers | --print | --print-book | --print-summary | --history | --line-history"
            " | --import-lines"
            " | --import-columns | --import-differences | --import-products]\n");
        return 2;
    }
    setUpApplication(app);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("店舗/棚卸2026.idb"));
    QDir(dir.path()).mkpath(QStringLiteral("店舗"));
    const Paths paths(QApplication::applicationDirPath(), dir.filePath(QStringLiteral("home")),
                      dir.filePath(QStringLiteral("Kotrina.conf")));
    if (!FileOps::copyFileAtomically(paths.templatePath(), file)) {
        std::fprintf(stderr, "no template beside the program\n");
        return 1;
    }
    FixedClock clock(QDate(2026, 3, 31));
    Settings settings(paths.settingsFile(), clock);
    WidgetPrompter prompter;
    AppState state(paths, settings, prompter, clock);
    frmAMain window(state, file);
    window.load();
    const QString screenName = args.value(2);
    if (screenName == QStringLiteral("--file-dialog")) {
        // The imports' file dialog, as the Prompter opens it, on a folder of files of several kinds.
        const QString folder = dir.filePath(QStringLiteral("棚卸データ"));
        QDir().mkpath(folder);
        const std::pair<const char*, int> files[]
            = { { "2026年3月期 棚卸データ（本店・第二倉庫・配送センター分）.txt", 184320 },
                { "2026年3月期 棚卸データ（本店・第二倉庫・配送センター分）.dat", 2048 },
                { "品名一覧.txt", 52000 },
                { "メモ.txt", 300 } };
        for (const auto& [name, size] : files) {
            QFile out(folder + QLatin1Char('/') + QString::fromUtf8(name));
            if (out.open(QIODevice::WriteOnly))
                out.write(QByteArray(size, 'a'));
        }
        bool saved = false;
        QTimer grab;
        QObject::connect(&grab, &QTimer::timeout, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                for (int i = 0; i < 20; ++i)
                    QApplication::processEvents();
                saved = dialog->grab().save(args.at(1));
                dialog->close();
            }
        });
        grab.start(300);
        FileDialogRequest request = importFileRequest();
        request.directory = folder;
        prompter.openFile(request);
        return saved ? 0 : 1;
    }
    if (!screenName.isEmpty() && screenName != QStringLiteral("--repair")) {
        const struct
        {
            int category;
            const char* product;
            double quantity;
            const char* unit;
            double price;
        } lines[] = { { 1, "国産りんご 5kg箱", 3, "箱", 2480 },
                      { 1, "温州みかん Ｌ", 12, "kg", 398.5 },
                      { 2, "ボールペン 黒 0.5mm", 120, "本", 88 },
                      { 2, "Ａ４コピー用紙 500枚", 25, "束", 0 } };
        findOrRegisterCategory(state.DatabaseConnection, QStringLiteral("青果"));
        findOrRegisterCategory(state.DatabaseConnection, QStringLiteral("文具"));
        for (const auto& l : lines) {
            LineInput input {
                clock.today(), l.category, QString::fromUtf8(l.product), l.quantity, QString::fromUtf8(l.unit),
                l.price,       QString()
            };
            registerLine(state.DatabaseConnection, input);
        }
        QWidget* screen = nullptr;
        if (screenName == QStringLiteral("--entry")) {
            screen = new frmTana(state, clock.today());
            // A line being typed, ready for 入力.
            screen->findChild<QComboBox*>(QStringLiteral("dbcShohin"))->setEditText(QStringLiteral("付箋 75mm"));
            screen->findChild<QLineEdit*>(QStringLiteral("txtCnt"))->setText(QStringLiteral("10"));
            screen->findChild<QLineEdit*>(QStringLiteral("txtTanka"))->setText(QStringLiteral("150"));
        } else if (screenName == QStringLiteral("--server")) {
            // A station connecting to the office computer's database, its password to be kept.
            ServerLogin login;
            login.host = QStringLiteral("office-pc");
            login.database = QStringLiteral("yamada");
            login.user = QStringLiteral("tanaka");
            login.password = QStringLiteral("tanaka-2026");
            screen = new DialogServer(state, login, [](const ServerLogin&, bool) { return false; });
            screen->findChild<QCheckBox*>(QStringLiteral("chkSavePassword"))->setChecked(true);
        } else if (screenName == QStringLiteral("--categories")) {
            screen = new frmKoumoku(state);
        } else if (screenName == QStringLiteral("--products") || screenName == QStringLiteral("--product-codes")) {
            // JAN codes on three products: a piece and a case, an in-store code, a UPC-A.
            const Database& db = state.DatabaseConnection;
            const QString apples = QStringLiteral("国産りんご 5kg箱");
            const int applesId = ProductCodes::productIdByName(db, apples).value_or(0);
            ProductCodes::setCodes(db, applesId, { QStringLiteral("4901234567894"), QStringLiteral("4901234567801") });
            ProductCodes::addCode(db, ProductCodes::productIdByName(db, QStringLiteral("温州みかん Ｌ")).value_or(0),
                                  QStringLiteral("2000000000015"));
            ProductCodes::addCode(db,
                                  ProductCodes::productIdByName(db, QStringLiteral("ボールペン 黒 0.5mm")).value_or(0),
                                  QStringLiteral("036000291452"));
            if (screenName == QStringLiteral("--products"))
                screen = new frmInShohin(state);
            else
                screen = new DialogShohinCode(state, applesId, apples);
        } else if (screenName == QStringLiteral("--printers")) {
            static CupsPrinterCatalog printers;
            state.printers = &printers;
            state.currentPrinter = printers.defaultPrinter();
            screen = new frmPrinterP(state, printers);
        } else if (screenName == QStringLiteral("--print")) {
            static CupsPrinterCatalog printers;
            state.printers = &printers;
            screen = new DialogTanaMoto1(state, clock.today());
        } else if (screenName == QStringLiteral("--print-book")) {
            static CupsPrinterCatalog printers;
            state.printers = &printers;
            screen = new DialogTanaMoto2(state);
        } else if (screenName == QStringLiteral("--print-summary")) {
            static CupsPrinterCatalog printers;
            state.printers = &printers;
            const SummarySheet::By by = SummarySheet::By::Product;
            screen = new DialogTanaMoto3(state, clock.today(), SummarySheet::title(by), SummarySheet::heading(by));
        } else if (screenName.startsWith(QStringLiteral("--import-"))) {
            const QString data = dir.filePath(QStringLiteral("棚卸データ.txt"));
            QFile out(data);
            if (out.open(QIODevice::WriteOnly))
                out.write(
                    QStringLiteral("分類\t品名\t数\t単位\t単価\t金額\t摘要\r\n青果\tりんご\t3\t箱\t2480\t7440\t\r\n")
                        .toUtf8());
            out.close();
            if (screenName == QStringLiteral("--import-differences")) {
                // Saved for last year's file; this year's has 品名 and 分類 the other way round and
                // 摘要 where 金額 was.
                ImportMapping saved(ImportKind::Lines);
                const char* const names[] = { "分類", "品名", "数", "単位", "単価", "金額" };
                for (int field = 1; field <= 6; ++field)
                    saved.assign(field, QString::fromUtf8(names[field - 1]), field);
                saved.assign(1, QStringLiteral("分類"), 2);
                saved.assign(2, QStringLiteral("品名"), 1);
                paths.ensureDataDir();
                saved.write(mappingPath(paths, ImportKind::Lines));
                if (out.open(QIODevice::WriteOnly))
                    out.write(QStringLiteral(
                                  "分類\t品名\t数\t単位\t単価\t摘要\t金額\r\n青果\tりんご\t3\t箱\t2480\t\t7440\r\n")
                                  .toUtf8());
                out.close();
                // The headings are read as the dialog becomes the active window.
                auto* columns = new DialogTabA(state, data);
                columns->show();
                columns->activateWindow();
                for (int i = 0; i < 20 && !columns->hasDifferences(); ++i) {
                    QApplication::processEvents();
                    QThread::msleep(10);
                }
                screen = columns;
            } else if (screenName == QStringLiteral("--import-columns")) {
                // The headings read, those named like a field assigned, 分類 chosen for the category.
                auto* columns = new DialogTabA(state, data);
                columns->show();
                for (int i = 0; i < 10; ++i)
                    QApplication::processEvents();
                columns->findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"))->setCurrentCell(0, 0);
                columns->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(0);
                columns->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
                screen = columns;
            } else {
                screen = screenName == QStringLiteral("--import-lines") ? static_cast<QWidget*>(new DialogExcelA(state))
                                                                        : new DialogExcelB(state);
                screen->findChild<QLineEdit*>(QStringLiteral("txtFileName"))->setText(data);
                screen->findChild<QPushButton*>(QStringLiteral("Command1"))->setEnabled(true); // as after 参照
            }
        } else if (screenName == QStringLiteral("--history") || screenName == QStringLiteral("--line-history")) {
            // A count corrected twice, a price put in and a line deleted after the lines were entered.
            const Database& db = state.DatabaseConnection;
            db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "数量" = 4, "価格" = 9920 WHERE "ID" = 1)"));
            db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "数量" = 5, "価格" = 12400 WHERE "ID" = 1)"));
            db.exec(QStringLiteral(R"(UPDATE "棚卸マスター" SET "単価" = 420, "価格" = 10500 WHERE "ID" = 4)"));
            deleteLine(db, 3);
            if (screenName == QStringLiteral("--history"))
                screen = new frmRireki(state, clock.today());
            else
                screen = new frmRirekiLine(1, ChangeHistory::ofLine(db, 1).value_or(QList<ChangeHistory::Entry>()));
        } else if (screenName == QStringLiteral("--summary")) {
            // A line whose product was deleted afterwards, for the product check to find.
            registerLine(state.DatabaseConnection,
                         { clock.today(), 2, QStringLiteral("付箋 75mm"), 10, QStringLiteral("冊"), 150, QString() });
            state.DatabaseConnection.exec(QStringLiteral(R"(DELETE FROM "仕入商品" WHERE "品名" = '付箋 75mm')"));
            auto* list = new frmList(state, clock.today());
            list->show();
            for (int i = 0; i < 10; ++i)
                QApplication::processEvents(); // the activation shows all lines first
            list->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(args.value(3).toInt());
            list->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
            screen = list;
        } else {
            auto* correction = new frmInAmd2(state, clock.today());
            screen = correction;
            correction->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
        }
        screen->show();
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        const bool saved = screen->grab().save(args.at(1));
        delete screen;
        return saved ? 0 : 1;
    }
    window.show();
    if (args.contains(QStringLiteral("--repair")))
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
    window.adjustSize();
    const bool ok = window.grab().save(args.at(1));
    window.hide();
    return ok ? 0 : 1;
}
