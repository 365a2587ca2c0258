// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
// Lines, masters, look-ups and lists on the engine of the run (a file, or a server with
// KOTRINA_TEST_ENGINE=postgresql). What a server answers is also compared with what a file
// holding the same rows answers: the two engines must give the user the same lists.
#include "SampleData.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"
#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/LinesModel.h"
#include "core/lines/SummaryViews.h"
#include "core/masters/LookupModel.h"
#include "core/masters/MasterModel.h"
#include "core/store/Database.h"

#include <QSet>
#include <QSqlQuery>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

const QDate Day(2026, 3, 31);

// The product names the look-ups are asked about: Latin letters of both widths and cases,
// the characters LIKE treats specially, quotes, a character outside the basic plane, kana of
// every form.
const QStringList ProductNames = {
    u"Abc鉛筆"_qs,     u"ABC定規"_qs,    u"ａｂｃノート"_qs, u"ＡＢＣ手帳"_qs, u"100%ジュース"_qs, u"50_off品"_qs,
    u"O'Reilly本"_qs,  u"C:\\棚\\箱"_qs, u"\"特選\"茶"_qs,   u"黒"_qs,         u"黒ボールペン"_qs, u"赤いペン"_qs,
    u"ペン"_qs,        u"𠮷野家弁当"_qs, u"ｱｲｽ"_qs,          u"アイス"_qs,     u"あいす"_qs,       u"x"_qs,
    u"X線フィルム"_qs, u"1000%増量"_qs,
};

// A name common to many products: the look-up reads such a text's names in order instead of
// asking the index.
const QString Common = u"ボールペン"_qs;
constexpr int CommonProducts = 1200;

QString asciiFolded(QString text)
{
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

// By code points, as the look-up lists names.
bool byCodePoints(const QString& a, const QString& b)
{
    const QList<uint> x = a.toUcs4(), y = b.toUcs4();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}

bool addProducts(const Database& db, const QStringList& names)
{
    for (const QString& unit : { u"個"_qs, u"本"_qs }) {
        if (!db.exec(uR"(INSERT INTO "単位" ("単位ID", "単位") VALUES (?, ?))"_qs, { db.nextId(Table::Tani), unit }))
            return false;
    }
    for (const QString& name : names) {
        if (!db.exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位") VALUES (?, ?, 100, '個'))"_qs,
                     { db.nextId(Table::Shohin), name }))
            return false;
    }
    // Many products at once, numbered by the engine as one writer would have them.
    const int first = db.reserveIds(Table::Shohin, CommonProducts);
    return db.exec(uR"(WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?)
        INSERT INTO "仕入商品" ("品名ID", "品名", "単価", "単位")
        SELECT ? + i, ? || '第' || i || '号', 50, '本' FROM n)"_qs,
                   { CommonProducts, first, Common })
        && db.catchUpIds();
}

// Every name the look-up of products lists for text, page after page.
QStringList lookUp(const Database& db, const QString& text, LookupModel::Kind kind = LookupModel::Kind::Product)
{
    LookupModel model(kind);
    model.setDatabase(&db);
    model.refresh(text);
    while (model.canFetchMore({}))
        model.fetchMore({});
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names << model.data(model.index(row), Qt::DisplayRole).toString();
    return names;
}

// Opens a database of the run's engine (and, on a server, a file beside it) with the same rows.
struct BothEngines
{
    TestEnvironment env;
    Database db;
    Database file; // open only on a server run
    bool open(const std::function<bool(const Database&)>& fill)
    {
        if (!db.open(freshDatabase(env)) || !fill(db))
            return false;
        if (testEngine() == Engine::Sqlite)
            return true;
        return file.open(env.newDatabase(u"file.idb"_qs)) && fill(file);
    }
};

QList<int> productOrder(const Database& db)
{
    MasterModel model(MasterTable::products());
    model.setDatabase(&db);
    if (!model.open(MasterOrder::ByName))
        return {};
    QList<int> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << model.recordId(row);
    return ids;
}

} // namespace

class TestPgLines : public QObject
{
    Q_OBJECT

private slots:
    // Lines registered as the entry screen registers them: the amount worked out in decimals,
    // the masters filled on the way (a product once, with the last unit and price counted; a
    // unit once; a new category once), the date's figures on the status line.
    void registrationFillsTheMasters()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(freshDatabase(env)));
        QString error;
        bool registered = false;
        const std::optional<int> category = findOrRegisterCategory(db, u"文具"_qs, &registered, &error);
        QVERIFY2(category && registered, qPrintable(error));
        QCOMPARE(findOrRegisterCategory(db, u"文具"_qs, &registered), category);
        QVERIFY(!registered);

        const auto first = registerLine(db, { Day, *category, u"ボールペン黒"_qs, 100, u"本"_qs, 4.35, {} }, &error);
        QVERIFY2(first, qPrintable(error));
        QCOMPARE(first->amount, 435.0);
        const auto second = registerLine(db, { Day, *category, u"ボールペン黒"_qs, 3, u"箱"_qs, 12.5, u"棚A"_qs });
        QVERIFY(second);
        QCOMPARE(second->amount, 37.0);
        QCOMPARE(second->productId, first->productId);
        QVERIFY(second->lineId > first->lineId);
        const auto third = registerLine(db, { Day, 0, u"消しゴム"_qs, 2, u"本"_qs, 0, {} });
        QVERIFY(third);
        QVERIFY(third->productId != first->productId);

        QCOMPARE(rowCount(db, Table::Shohin), 2);
        QCOMPARE(rowCount(db, Table::Tani), 2);
        const std::optional<ProductInfo> product = findProduct(db, u"ボールペン黒"_qs);
        QVERIFY(product);
        QCOMPARE(product->unit.toString(), u"箱"_qs);
        QCOMPARE(product->unitPrice.toDouble(), 12.5);
        QCOMPARE(lineField(db, third->lineId, "備考1").toString(), QString::fromUtf8(NoUnitPriceNote));
        QCOMPARE(lineField(db, second->lineId, "備考").toString(), u"棚A"_qs);

        const std::optional<DateTotals> totals = dateTotals(db, Day);
        QVERIFY(totals);
        QCOMPARE(totals->count, 3);
        QCOMPARE(totals->total, 472.0);
        QCOMPARE(statusLineText(db, Day), u"Max Record 3   Total 472"_qs);
        QVERIFY(deleteLine(db, first->lineId));
        QCOMPARE(statusLineText(db, Day), u"Max Record 2   Total 37"_qs);
        QCOMPARE(statusLineText(db, Day.addDays(1)), u"Max Record 0   Total "_qs);
    }

    // The entry screen's look-ups list the same names for every text: Latin letters without
    // regard to case (A-Z only: full-width letters match only themselves), %, _, \ and quotes
    // as themselves, texts of one, two and three characters or more, a text in many names
    // (read in order) and one in few (found in the index); on a server exactly as in a file.
    void lookUpsGiveTheSameNames()
    {
        BothEngines both;
        QVERIFY(both.open([](const Database& db) { return addProducts(db, ProductNames); }));
        QStringList all = ProductNames;
        for (int i = 0; i < CommonProducts; ++i)
            all << Common + u"第%1号"_qs.arg(i);
        const QStringList texts = { u"abc"_qs,      u"ABC"_qs,      u"ａｂｃ"_qs,   u"Ａ"_qs,
                                    u"a"_qs,        u"X"_qs,        u"%"_qs,        u"_"_qs,
                                    u"'"_qs,        u"\""_qs,       u"\\"_qs,       u"黒"_qs,
                                    u"ペン"_qs,     Common,         u"ル"_qs,       u"𠮷"_qs,
                                    u"𠮷野"_qs,     u"ｱ"_qs,        u"ア"_qs,       u"0%"_qs,
                                    u"0_o"_qs,      u"c:\\"_qs,     u"号"_qs,       u"第11"_qs,
                                    u"第119"_qs,    u"ない名前"_qs, u"Reilly本"_qs, u"ｲｽ"_qs,
                                    u"\"特選\""_qs, u"%増"_qs,      u"1000%"_qs,    u"ボールペン第7号"_qs };
        for (const QString& text : texts) {
            QStringList expected;
            for (const QString& name : std::as_const(all)) {
                if (asciiFolded(name).contains(asciiFolded(text)))
                    expected << name;
            }
            std::sort(expected.begin(), expected.end(), byCodePoints);
            QCOMPARE(lookUp(both.db, text), expected);
            if (both.file.isOpen())
                QCOMPARE(lookUp(both.file, text), expected);
        }
        QCOMPARE(lookUp(both.db, QString()).size(), all.size());
        QCOMPARE(lookUp(both.db, u"本"_qs, LookupModel::Kind::Unit), QStringList { u"本"_qs });
        QCOMPARE(lookUp(both.db, u"個"_qs, LookupModel::Kind::Unit), QStringList { u"個"_qs });
    }

    // The lines' own names are searched the same way: the entry screen's history of a product
    // and the correction screen's search by name.
    void linesFoundByName()
    {
        BothEngines both;
        const QStringList names
            = { u"Abc鉛筆"_qs, u"ａｂｃノート"_qs, u"100%ジュース"_qs, u"黒ボールペン"_qs, u"50_off品"_qs };
        constexpr int Lines = 40;
        const auto dateOf = [](int i) { return Day.addYears(-(i % 3)); };
        QVERIFY(both.open([&](const Database& db) {
            for (int i = 0; i < Lines; ++i) {
                if (!registerLine(db, { dateOf(i), 0, names[i % names.size()], double(i), u"個"_qs, 10, {} }))
                    return false;
            }
            return true;
        }));
        for (const QString& text :
             { u"ABC"_qs, u"ａｂｃ"_qs, u"%"_qs, u"_"_qs, u"黒"_qs, u"ペン"_qs, u"ボールペン"_qs, u"ない"_qs }) {
            QStringList expected;
            for (const QString& name : names) {
                if (asciiFolded(name).contains(asciiFolded(text)))
                    expected << name;
            }
            int all = 0, ofDay = 0;
            for (int i = 0; i < Lines; ++i) {
                if (expected.contains(names[i % names.size()])) {
                    ++all;
                    ofDay += dateOf(i) == Day;
                }
            }
            QSet<QString> found;
            const QList<HistoryLine> history = lineHistory(both.db, text, 500);
            for (const HistoryLine& line : history)
                found << line.product;
            QCOMPARE(found, QSet<QString>(expected.begin(), expected.end()));
            QCOMPARE(history.size(), all);
            // Newest date first.
            QVERIFY(std::is_sorted(history.begin(), history.end(),
                                   [](const HistoryLine& a, const HistoryLine& b) { return a.date > b.date; }));

            LinesModel lines;
            lines.setDatabase(&both.db);
            QVERIFY(lines.select(LineSelections::ofProduct(both.db, Day, text)));
            QCOMPARE(lines.rowCount(), ofDay);
            for (int row = 0; row < lines.rowCount(); ++row)
                QVERIFY(expected.contains(lineField(both.db, lines.lineId(row), "品名").toString()));
            if (both.file.isOpen()) {
                QCOMPARE(lineHistory(both.file, text, 500).size(), history.size());
                LinesModel fileLines;
                fileLines.setDatabase(&both.file);
                QVERIFY(fileLines.select(LineSelections::ofProduct(both.file, Day, text)));
                QCOMPARE(fileLines.rowCount(), lines.rowCount());
            }
        }
    }

    // The product list in Japanese order: digits, Latin letters, then kana by sound with their
    // forms side by side (ｱｲｽ beside アイス), kanji last; a missing name first and equal names by
    // ID; a file and a server list them alike.
    void productsInJapaneseOrder()
    {
        BothEngines both;
        QVERIFY(both.open([](const Database& db) {
            const QStringList names
                = { u"ボールペン"_qs, u"ﾎﾞｰﾙﾍﾟﾝ"_qs, u"漢字"_qs, u"アイス"_qs, u"ｱｲｽ"_qs,        u"abc"_qs,
                    u"ABC"_qs,        u"１"_qs,      u"1"_qs,    u"あいす"_qs, u"ほーるぺん"_qs, u"ボールペン"_qs };
            bool ok = db.exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (100, NULL))"_qs);
            for (int i = 0; i < names.size(); ++i)
                ok = ok
                    && db.exec(uR"(INSERT INTO "仕入商品" ("品名ID", "品名") VALUES (?, ?))"_qs, { i + 1, names[i] });
            return ok && db.catchUpIds();
        }));
        const QList<int> expected = { 100, 9, 8, 6, 7, 10, 4, 5, 2, 11, 1, 12, 3 };
        QCOMPARE(productOrder(both.db), expected);
        if (both.file.isOpen())
            QCOMPARE(productOrder(both.file), expected);

        // The totals by product follow the same order; those by category the largest total
        // first, a category without amounts last.
        const std::optional<int> stationery = findOrRegisterCategory(both.db, u"文具"_qs);
        const std::optional<int> food = findOrRegisterCategory(both.db, u"食品"_qs);
        const std::optional<int> sundries = findOrRegisterCategory(both.db, u"雑貨"_qs);
        QVERIFY(stationery && food && sundries);
        for (const auto& [category, name, price] : { std::tuple { *stationery, u"ﾎﾞｰﾙﾍﾟﾝ"_qs, 10.0 },
                                                     { *stationery, u"アイス"_qs, 5.0 },
                                                     { *food, u"abc"_qs, 300.0 },
                                                     { *food, u"1"_qs, 0.0 } })
            QVERIFY(registerLine(both.db, { Day, category, name, 1, {}, price, {} }));
        QVERIFY(both.db.exec(
            uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "価格") VALUES (?, ?, ?, 'ｱｲｽ', NULL))"_qs,
            { both.db.nextId(Table::Tana), storedDate(Day), *sundries }));
        TotalsModel totals;
        QVERIFY(totals.select(both.db, TotalsModel::By::Category, Day));
        QCOMPARE(totals.rowCount(), 3);
        QCOMPARE(totals.data(totals.index(0, TotalsModel::Name)).toString(), u"食品"_qs);
        QCOMPARE(totals.data(totals.index(1, TotalsModel::Name)).toString(), u"文具"_qs);
        QCOMPARE(totals.data(totals.index(2, TotalsModel::Name)).toString(), u"雑貨"_qs);
        QVERIFY(totals.select(both.db, TotalsModel::By::Product, Day));
        QStringList byProduct;
        for (int row = 0; row < totals.rowCount(); ++row)
            byProduct << totals.data(totals.index(row, TotalsModel::Name)).toString();
        QCOMPARE(byProduct, (QStringList { u"1"_qs, u"abc"_qs, u"アイス"_qs, u"ﾎﾞｰﾙﾍﾟﾝ"_qs }));
        QCOMPARE(totals.data(totals.index(1, TotalsModel::Total)).toString(), u"300"_qs);
    }

    // The checks of lines whose category or product is not registered, their marks and the
    // move to 未区分, with the figures the screens show.
    void checksFindTheLinesWithoutMasters()
    {
        TestEnvironment env;
        Database db;
        QVERIFY(db.open(freshDatabase(env)));
        const std::optional<int> category = findOrRegisterCategory(db, u"文具"_qs);
        QVERIFY(category);
        const auto kept = registerLine(db, { Day, *category, u"鉛筆"_qs, 2, u"本"_qs, 50, {} });
        const auto lost = registerLine(db, { Day, *category, u"定規"_qs, 1, u"本"_qs, 120, {} });
        QVERIFY(kept && lost);
        QVERIFY(
            db.exec(uR"(INSERT INTO "棚卸マスター" ("ID", "日付", "項目ID", "品名", "数量", "単価", "価格", "品名ID")
            VALUES (?, ?, 77, '消しゴム', 3, 0, 0, ?))"_qs,
                    { db.nextId(Table::Tana), storedDate(Day), kept->productId }));
        QVERIFY(db.exec(uR"(DELETE FROM "仕入商品" WHERE "品名ID" = ?)"_qs, { lost->productId }));

        const std::optional<QList<LineWithoutMaster>> without = linesWithoutMaster(db, Day);
        QVERIFY(without);
        QCOMPARE(without->size(), 2);
        QCOMPARE(without->at(0).id, lost->lineId);
        QVERIFY(!without->at(0).categoryMissing && without->at(0).productMissing);
        QVERIFY(without->at(1).categoryMissing && !without->at(1).productMissing);
        QCOMPARE(markLinesWithoutProduct(db, Day), 1);
        QCOMPARE(markLinesWithoutCategory(db, Day), 1);
        QCOMPARE(markLinesWithoutCategory(db, Day), 1); // marking again changes nothing

        LinesModel lines;
        lines.setDatabase(&db);
        QVERIFY(lines.select(LineSelections::withoutUnitPrice(Day)));
        QCOMPARE(lines.rowCount(), 1);
        const std::optional<LineSelection> moved = moveMarkedLinesToNoCategory(db, Day);
        QVERIFY(moved);
        QVERIFY(lines.select(*moved));
        QCOMPARE(lines.rowCount(), 1);
        QCOMPARE(lineField(db, lines.lineId(0), "項目ID").toInt(), 0);
        QCOMPARE(linesWithoutMaster(db, Day)->size(), 1);
        QCOMPARE(dateTotals(db, Day)->total, 220.0);
    }

    // Two stations type the same new names at the same moment: each name becomes one product,
    // one unit and one category, every line is kept, and a name one station added is found by
    // the other's look-up at once.
    void sameNewNameOnTwoStations()
    {
        TestEnvironment env;
        const QString name = freshDatabase(env);
        constexpr int Names = 12;
        std::atomic<int> ready { 0 };
        std::atomic<int> failures { 0 };
        // Each station is a connection of its own, on its own thread.
        const auto station = [&] {
            Database db;
            if (!db.open(name))
                failures += Names;
            ++ready;
            while (ready < 2)
                std::this_thread::yield();
            for (int i = 0; i < Names; ++i) {
                const QString product = u"新商品%1"_qs.arg(i);
                // A station that meets the other's write says so; the user presses 入力 again.
                bool done = false;
                for (int attempt = 0; attempt < 20 && !done; ++attempt) {
                    const std::optional<int> category = findOrRegisterCategory(db, u"新分類%1"_qs.arg(i % 3));
                    done = category
                        && registerLine(db, { Day, *category, product, 1, u"新単位%1"_qs.arg(i % 4), 10, {} });
                    // A file refuses a second writer at once rather than waiting: try again a little later.
                    if (!done)
                        std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
                }
                if (!done)
                    ++failures;
            }
        };
        std::thread one(station), other(station);
        one.join();
        other.join();
        QCOMPARE(failures.load(), 0);
        Database first, second;
        QVERIFY(first.open(name));
        QVERIFY(second.open(name));
        QCOMPARE(rowCount(first, Table::Tana), 2 * Names);
        QCOMPARE(rowCount(first, Table::Shohin), Names);
        QCOMPARE(rowCount(first, Table::Tani), 4);
        QCOMPARE(rowCount(first, Table::Koumoku), 1 + 3);

        QCOMPARE(lookUp(first, u"後から"_qs), QStringList());
        QVERIFY(registerLine(second, { Day, 0, u"後から来た品"_qs, 1, {}, 1, {} }));
        QCOMPARE(lookUp(first, u"後から"_qs), QStringList { u"後から来た品"_qs });
        QCOMPARE(lookUp(first, u"後"_qs), QStringList { u"後から来た品"_qs });
    }
};

KOTRINA_REGISTER_TEST(TestPgLines)
#include "TestPgLines.moc"
