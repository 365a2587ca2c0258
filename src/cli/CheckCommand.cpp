// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "cli/CheckCommand.h"

#include "core/lines/LineChecks.h"
#include "core/store/ServerSchema.h"

#include <QTextStream>

CheckCommand::CheckCommand(QTextStream& out, QTextStream& err)
    : Command(out, err, QStringLiteral("check"),
              QStringLiteral("決算日の棚卸のうち、項目/分類または品名が登録されていない行を表示します。\n"
                             "見つかったときの終了コードは 1 です。"))
    , m_date(dateOption())
    , m_move(QStringLiteral("move-to-uncategorised"),
             QStringLiteral("項目/分類が登録されていない行の項目IDを「0」（未区分）に変更します。"))
{
    positionalArguments = { databaseArgument() };
    options = { m_date, m_move };
}

int CheckCommand::run(const QCommandLineParser& parser)
{
    const std::optional<QDate> day = requiredDate(parser, m_date);
    if (!day)
        return Failure;
    const bool repair = parser.isSet(m_move);

    Database db;
    if (!openDatabase(db, parser.positionalArguments().constFirst(),
                      repair ? Database::Access::ReadWrite : Database::Access::ReadOnly))
        return Failure;
    // A file's pages were checked as it opened; a server's tables, sequences and change
    // notices are looked at here, and what is wrong with them is told before the lines.
    int serverProblems = 0;
    if (db.isServer()) {
        QSqlDatabase connection = db.connection();
        for (const QString& problem : ServerSchema::problems(connection)) {
            m_out << QStringLiteral("サーバーのデータベース: ") << problem << '\n';
            ++serverProblems;
        }
    }
    const std::optional<QList<LineWithoutMaster>> lines = linesWithoutMaster(db, *day);
    if (!lines)
        return fail(QStringLiteral("データベースの読み込みに失敗しました。"));
    if (lines->isEmpty()) {
        m_out << QStringLiteral("項目/分類・品名が登録されていない棚卸はありません。\n");
        m_out.flush();
        return serverProblems > 0 ? Found : Success;
    }

    int withoutCategory = 0;
    int withoutProduct = 0;
    m_out << QStringLiteral("ID\t項目ID\t品名ID\t品名\t数量\t単位\t登録されていないもの\n");
    for (const LineWithoutMaster& line : *lines) {
        QStringList missing;
        if (line.categoryMissing) {
            missing << QStringLiteral("項目/分類");
            ++withoutCategory;
        }
        if (line.productMissing) {
            missing << QStringLiteral("品名");
            ++withoutProduct;
        }
        m_out << line.id << '\t' << line.categoryId << '\t' << line.productId << '\t' << line.name << '\t'
              << QString::number(line.quantity, 'g', 15) << '\t' << line.unit << '\t' << missing.join(QLatin1Char(','))
              << '\n';
    }
    m_out << QStringLiteral("項目/分類が登録されていない棚卸: %1 件、品名が登録されていない棚卸: %2 件\n")
                 .arg(withoutCategory)
                 .arg(withoutProduct);

    if (repair && withoutCategory > 0) {
        QString refusal;
        const std::optional<int> marked = markLinesWithoutCategory(db, *day);
        if (!marked || !moveMarkedLinesToNoCategory(db, *day, &refusal))
            return fail(QStringLiteral("項目IDを変更できませんでした。")
                        + (refusal.isEmpty() ? QString() : QLatin1Char('\n') + refusal));
        m_out << QStringLiteral("%1 件の項目IDを「0」に変更しました。\n").arg(*marked);
        withoutCategory = 0;
    }
    m_out.flush();
    return withoutCategory + withoutProduct + serverProblems > 0 ? Found : Success;
}
