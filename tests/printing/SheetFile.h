// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "PdfText.h"
#include "TestEnvironment.h"
#include "core/printing/PageSurface.h"
#include "core/store/Database.h"

#include <QPdfWriter>
#include <QTest>
#include <cmath>
#include <functional>

inline const QString mincho = QStringLiteral("ＭＳ 明朝");

inline void addCategory(const Database& db, int id, const QString& name)
{
    QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "項目分類" VALUES (?, ?))"), { id, name }));
}

// A line of date whose price is quantity × unitPrice cut to whole yen, or empty without a unit price.
inline void addLine(const Database& db, int id, const QString& date, int category, const QString& name, double quantity,
                    const QVariant& unitPrice, int product = 1, const QString& remark = {})
{
    const QVariant price = unitPrice.isNull() ? QVariant() : QVariant(std::trunc(quantity * unitPrice.toDouble()));
    QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単位",
            "単価", "価格", "備考", "品名ID") VALUES (?, ?, ?, ?, ?, '個', ?, ?, ?, ?))"),
                    { id, date, category, name, quantity, unitPrice, price,
                      remark.isEmpty() ? QVariant() : QVariant(remark), product }));
}

// A new business file for the sheets' tests, with categories, products and lines added by the case.
struct SheetFile
{
    TestEnvironment env;
    Database db;
    int nextId = 1; // of the next line

    SheetFile() { db.open(env.newDatabase()); }
    void category(int id, const QString& name) { addCategory(db, id, name); }
    void product(int id, const QString& name, double unitPrice = 0)
    {
        QVERIFY(db.exec(QStringLiteral(R"(INSERT INTO "仕入商品" VALUES (?, ?, ?, '個'))"), { id, name, unitPrice }));
    }
    void line(const QString& date, int category, const QString& name, double quantity, const QVariant& unitPrice,
              int product = 1, const QString& remark = {})
    {
        addLine(db, nextId++, date, category, name, quantity, unitPrice, product, remark);
    }
    // The words of the PDF file write makes; write says why when it cannot.
    PdfText print(const std::function<bool(const QString& file, QString* problem)>& write) const
    {
        const QString file = env.path(QStringLiteral("sheet.pdf"));
        QString problem;
        if (!write(file, &problem))
            return { 0, {}, problem };
        return readPdf(file);
    }
};

// Where text printed from x ends in the sheets' text font.
inline double endOf(const QString& text, double x)
{
    QPdfWriter pdf(QStringLiteral("/dev/null"));
    pdf.setResolution(1200);
    PageSurface s(pdf);
    s.setFont(mincho, 9.75);
    return x + s.textWidth(text);
}

inline bool near(double a, double b, double tolerance = 0.5)
{
    return std::fabs(a - b) < tolerance;
}
