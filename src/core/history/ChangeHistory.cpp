// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/history/ChangeHistory.h"

#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"
#include "core/store/NameIndex.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>

namespace ChangeHistory {

namespace {

// The entry's columns, with the line's name and amount as the entry tells them (or as the
// line is now), read from the history joined with the line.
const QString Columns = QStringLiteral(R"(h."番号", h."時刻", h."種類", h."行ID", h."日付", h."旧値", h."新値",
    h."端末", h."封印" IS NOT NULL, %1, %2)");

// A column of the line as it stood with the entry: the entry's own value, else the last value
// an earlier entry of the line told (a change of the quantity names no product), else the
// line as it is now.
QString asItStood(const QSqlDatabase& db, const QString& column, bool number)
{
    const auto member = [&](const QString& json) {
        return number ? HistoryTrail::jsonNumber(db, json, column) : HistoryTrail::jsonText(db, json, column);
    };
    const QString told = QStringLiteral("coalesce(%1, %2)");
    const QString byEntry = told.arg(member(QStringLiteral(R"(h."新値")")), member(QStringLiteral(R"(h."旧値")")));
    const QString byEarlier = told.arg(member(QStringLiteral(R"(x."新値")")), member(QStringLiteral(R"(x."旧値")")));
    return QStringLiteral(R"(coalesce(%2,
        (SELECT %3 FROM "変更履歴" x
            WHERE x."行ID" = h."行ID" AND x."番号" < h."番号" AND %3 IS NOT NULL
            ORDER BY x."番号" DESC LIMIT 1),
        (SELECT t."%1" FROM "棚卸マスター" t WHERE t."ID" = h."行ID")))")
        .arg(column, byEntry, byEarlier);
}

QString nameExpression(const QSqlDatabase& db)
{
    return asItStood(db, QStringLiteral("品名"), false);
}

QString amountExpression(const QSqlDatabase& db)
{
    return asItStood(db, QStringLiteral("価格"), true);
}

QString selectColumns(const QSqlDatabase& db)
{
    return Columns.arg(nameExpression(db), amountExpression(db));
}

Kind kindOf(const QString& name)
{
    using namespace HistoryTrail;
    static const QList<std::pair<const char*, Kind>> kinds = {
        { KindInserted, Kind::Inserted }, { KindChanged, Kind::Changed },         { KindDeleted, Kind::Deleted },
        { KindImported, Kind::Imported }, { KindBulkDeleted, Kind::BulkDeleted }, { KindFinalised, Kind::Finalised },
        { KindUndone, Kind::Undone }
    };
    for (const auto& [text, kind] : kinds) {
        if (name == QString::fromUtf8(text))
            return kind;
    }
    return Kind::Other;
}

QVariantMap objectOf(const QVariant& json)
{
    if (json.isNull())
        return {};
    return QJsonDocument::fromJson(json.toString().toUtf8()).object().toVariantMap();
}

Entry entryOf(const QSqlQuery& q)
{
    Entry e;
    e.number = q.value(0).toLongLong();
    e.time = QDateTime::fromString(q.value(1).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    e.kindName = q.value(2).toString();
    e.kind = kindOf(e.kindName);
    e.lineId = q.value(3).toLongLong();
    e.date = QDate::fromString(q.value(4).toString(), Qt::ISODate);
    e.oldValues = objectOf(q.value(5));
    e.newValues = objectOf(q.value(6));
    // A row without station is one another program wrote since the file was last opened
    // here: the program marks its own before they are committed.
    e.station = q.value(7).isNull() ? QString::fromUtf8(HistoryTrail::OutsideStation) : q.value(7).toString();
    e.outside = e.station == QString::fromUtf8(HistoryTrail::OutsideStation);
    e.sealed = q.value(8).toBool();
    e.name = q.value(9).toString();
    if (!q.value(10).isNull())
        e.amount = q.value(10).toDouble();
    return e;
}

QString valueText(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("（なし）");
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong
        || value.typeId() == QMetaType::Int)
        return TextRules::numberText(value);
    return value.toString();
}

struct Where
{
    QString sql;
    QVariantList values;
};

Where whereOf(const QSqlDatabase& db, const Filter& filter)
{
    Where w;
    const QString day = filter.date.toString(Qt::ISODate);
    w.sql = QStringLiteral(R"((h."日付" = ? OR %1 = ? OR (h."日付" IS NULL AND h."種類" = ?)))")
                .arg(HistoryTrail::jsonText(db, QStringLiteral(R"(h."旧値")"), QStringLiteral("日付")));
    w.values << day << day << QString::fromUtf8(HistoryTrail::KindBulkDeleted);
    if (!filter.nameText.isEmpty()) {
        const NameIndex::ContainsFilter contains
            = NameIndex::containsExpression(engineOf(db), nameExpression(db), filter.nameText);
        w.sql += QStringLiteral(" AND ") + contains.sql;
        w.values << contains.value;
    }
    if (filter.minAmount) {
        w.sql += QStringLiteral(" AND %1 >= ?").arg(amountExpression(db));
        w.values << *filter.minAmount;
    }
    if (filter.maxAmount) {
        w.sql += QStringLiteral(" AND %1 <= ?").arg(amountExpression(db));
        w.values << *filter.maxAmount;
    }
    if (filter.from.isValid()) {
        w.sql += QStringLiteral(R"( AND h."時刻" >= ?)");
        w.values << filter.from.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    }
    if (filter.until.isValid()) {
        w.sql += QStringLiteral(R"( AND h."時刻" < ?)");
        w.values << filter.until.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    }
    return w;
}

bool readable(const Database& db)
{
    return db.isOpen() && HistoryTrail::hasHistory(db.connection());
}

} // namespace

QStringList columnOrder()
{
    return { QStringLiteral("ID"),   QStringLiteral("日付"),  QStringLiteral("項目ID"), QStringLiteral("品名"),
             QStringLiteral("数量"), QStringLiteral("単位"),  QStringLiteral("単価"),   QStringLiteral("価格"),
             QStringLiteral("備考"), QStringLiteral("備考1"), QStringLiteral("品名ID") };
}

QString describe(const Entry& e)
{
    const auto columns = [](const QVariantMap& values) {
        QStringList parts;
        for (const QString& column : columnOrder()) {
            if (values.contains(column))
                parts << column + QStringLiteral(": ") + valueText(values.value(column));
        }
        return parts.join(QStringLiteral("、"));
    };
    switch (e.kind) {
    case Kind::Inserted:
        return columns(e.newValues);
    case Kind::Deleted:
        return columns(e.oldValues);
    case Kind::Changed: {
        QStringList parts;
        for (const QString& column : columnOrder()) {
            if (e.oldValues.contains(column) || e.newValues.contains(column))
                parts << QStringLiteral("%1: %2 → %3")
                             .arg(column, valueText(e.oldValues.value(column)), valueText(e.newValues.value(column)));
        }
        return parts.join(QStringLiteral("、"));
    }
    case Kind::Imported:
        return QStringLiteral("%1（%2 行）")
            .arg(e.newValues.value(QStringLiteral("ファイル")).toString(),
                 TextRules::formatAmount(e.newValues.value(QStringLiteral("行数")).toDouble()));
    case Kind::BulkDeleted:
        return QStringLiteral("すべての棚卸を削除（%1 行）")
            .arg(TextRules::formatAmount(e.oldValues.value(QStringLiteral("行数")).toDouble()));
    case Kind::Finalised:
        return QStringLiteral("%1 行、合計 %2 円、%3")
            .arg(TextRules::formatAmount(e.newValues.value(QStringLiteral("行数")).toDouble()),
                 TextRules::formatAmount(e.newValues.value(QStringLiteral("合計")).toDouble()),
                 e.newValues.value(QStringLiteral("様式")).toString());
    case Kind::Undone:
        return QStringLiteral("理由: ") + e.newValues.value(QStringLiteral("理由")).toString();
    case Kind::Other:
        break;
    }
    return columns(e.newValues.isEmpty() ? e.oldValues : e.newValues);
}

QStringList headings()
{
    return { QStringLiteral("番号"), QStringLiteral("日時"), QStringLiteral("種類"),
             QStringLiteral("ID"),   QStringLiteral("日付"), QStringLiteral("品名"),
             QStringLiteral("金額"), QStringLiteral("内容"), QStringLiteral("端末") };
}

QStringList cells(const Entry& e)
{
    return { QString::number(e.number),
             e.time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
             e.kindName,
             e.lineId ? QString::number(e.lineId) : QString(),
             e.date.isValid() ? e.date.toString(QStringLiteral("yyyy/MM/dd")) : QString(),
             e.name,
             e.amount ? TextRules::formatAmount(*e.amount) : QString(),
             describe(e),
             e.station };
}

std::optional<QList<Entry>> ofLine(const Database& db, qint64 lineId)
{
    if (!readable(db))
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1 FROM "変更履歴" h WHERE h."行ID" = ? AND h."種類" IN (?, ?, ?)
        ORDER BY h."番号")")
                  .arg(selectColumns(db.connection())));
    q.addBindValue(lineId);
    q.addBindValue(QString::fromUtf8(HistoryTrail::KindInserted));
    q.addBindValue(QString::fromUtf8(HistoryTrail::KindChanged));
    q.addBindValue(QString::fromUtf8(HistoryTrail::KindDeleted));
    if (!q.exec())
        return std::nullopt;
    QList<Entry> entries;
    while (q.next())
        entries << entryOf(q);
    if (q.lastError().isValid())
        return std::nullopt;
    return entries;
}

std::optional<QList<Entry>> page(const Database& db, const Filter& filter, qint64 afterNumber, int limit)
{
    QList<Entry> entries;
    entries.reserve(qMin(limit, 1000));
    if (!readable(db))
        return std::nullopt;
    const Where w = whereOf(db.connection(), filter);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1 FROM "変更履歴" h WHERE h."番号" > ? AND %2 ORDER BY h."番号" LIMIT ?)")
                  .arg(selectColumns(db.connection()), w.sql));
    q.addBindValue(afterNumber);
    for (const QVariant& value : w.values)
        q.addBindValue(value);
    q.addBindValue(limit);
    if (!q.exec())
        return std::nullopt;
    while (q.next())
        entries << entryOf(q);
    if (q.lastError().isValid())
        return std::nullopt;
    return entries;
}

std::optional<qint64> count(const Database& db, const Filter& filter)
{
    if (!readable(db))
        return std::nullopt;
    const Where w = whereOf(db.connection(), filter);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT count(*) FROM "変更履歴" h WHERE %1)").arg(w.sql));
    for (const QVariant& value : w.values)
        q.addBindValue(value);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool forEach(const Database& db, const Filter& filter, const std::function<bool(const Entry&)>& visit)
{
    constexpr int PageSize = 2000;
    for (qint64 after = 0;;) {
        const std::optional<QList<Entry>> entries = page(db, filter, after, PageSize);
        if (!entries)
            return false;
        for (const Entry& e : *entries) {
            if (!visit(e))
                return true;
        }
        if (entries->size() < PageSize)
            return true;
        after = entries->constLast().number;
    }
}

} // namespace ChangeHistory
