// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/lines/LinesModel.h"

#include "core/app/Clock.h"
#include "core/lines/LineRegistration.h"
#include "core/lines/SummaryViews.h"
#include "core/rules/CellRoles.h"
#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

bool isRightAligned(const QString& field)
{
    return field == u"数量" || field == u"単価" || field == u"価格";
}

bool isWholeNumber(const QString& field)
{
    return field == u"項目ID" || field == u"品名ID" || field == u"区分調整";
}

bool isNumber(const QString& field)
{
    return isRightAligned(field) || isWholeNumber(field);
}

const QString IdField = QStringLiteral("ID");
const QString DateField = QStringLiteral("日付");

} // namespace

LinesModel::LinesModel(QObject* parent)
    : LinesModel(Listing::WholeLines, parent)
{ }

LinesModel::LinesModel(Listing listing, QObject* parent)
    : QAbstractTableModel(parent)
    , m_lines(listing == Listing::WholeLines
                  ? RecordList(Table::Tana,
                               { IdField, DateField, QStringLiteral("項目ID"), QStringLiteral("品名"),
                                 QStringLiteral("数量"), QStringLiteral("単位"), QStringLiteral("単価"),
                                 QStringLiteral("価格"), QStringLiteral("備考"), QStringLiteral("備考1"),
                                 QStringLiteral("品名ID"), QStringLiteral("区分調整") })
                  : RecordList(CategorisedLines::source(),
                               { IdField, QStringLiteral("項目ID"), QStringLiteral("項目分類名"),
                                 QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("単位"),
                                 QStringLiteral("単価"), QStringLiteral("価格"), QStringLiteral("備考"),
                                 QStringLiteral("備考1"), QStringLiteral("品名ID"), QStringLiteral("区分調整") }))
    , m_firstColumn(listing == Listing::WholeLines ? 0 : 1)
{ }

bool LinesModel::select(const QString& condition, const QVariantList& values)
{
    m_condition = condition;
    m_values = values;
    return reselect();
}

bool LinesModel::selectDate(QDate date)
{
    return select(QStringLiteral(R"("日付" = ?)"), { storedDate(date) });
}

bool LinesModel::reselect()
{
    beginResetModel();
    m_failure.clear();
    const bool ok = m_lines.choose(m_condition, m_values, {}, &m_failure);
    endResetModel();
    return ok;
}

void LinesModel::removeListedRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows({}, row, row);
    m_lines.removeAt(row);
    endRemoveRows();
}

void LinesModel::appendLine(int lineId)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_lines.append(lineId);
    endInsertRows();
}

int LinesModel::lineId(int row) const
{
    return m_lines.id(row);
}

int LinesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

int LinesModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.columns().size()) - m_firstColumn;
}

QVariant LinesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == CellRoles::NumbersOnly)
        return isNumber(field(index.column())) || field(index.column()) == DateField;
    if (role == Qt::TextAlignmentRole)
        return isRightAligned(field(index.column())) ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                     : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const QVariantList* line = m_lines.fields(index.row());
    const int column = index.column() + m_firstColumn;
    if (!line || column >= line->size())
        return {}; // deleted meanwhile
    const QVariant& value = (*line)[column];
    const QString& name = field(index.column());
    if (name == DateField)
        return DateText::toText(QDate::fromString(value.toString(), Qt::ISODate));
    if (role == Qt::DisplayRole && name == u"価格" && !value.isNull() && !m_editable)
        return TextRules::formatAmount(value.toDouble());
    // Numbers as text: the grid shows every digit and edits them in a plain box, where a
    // Japanese input method's digits can be typed and a fraction is never rounded away.
    if (isNumber(name))
        return TextRules::numberText(value);
    return value;
}

QVariant LinesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return field(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags LinesModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (isEditable(index))
        f |= Qt::ItemIsEditable;
    return f;
}

bool LinesModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const Database* db = m_lines.database();
    if (role != Qt::EditRole || !isEditable(index) || !db)
        return false;
    const QString& field = this->field(index.column());
    const QString text = value.toString();
    QVariant stored = text;
    if (field == DateField) {
        const QDate date = DateText::fromText(text);
        if (!date.isValid()) {
            Q_EMIT editRefused(QStringLiteral("日付は yyyy/MM/dd の形で入力してください。"));
            return false;
        }
        stored = storedDate(date);
    } else if (isWholeNumber(field)) {
        const std::optional<double> number = TextRules::parseNumber(text);
        if (text.trimmed().isEmpty()) {
            stored = QVariant();
        } else if (!number || !TextRules::fitsSheet(*number) || *number != double(qint64(*number))) {
            Q_EMIT editRefused(field + QStringLiteral("は整数で入力してください。"));
            return false;
        } else {
            stored = qint64(*number);
        }
    } else if (isNumber(field)) {
        const TextRules::NumberInput number = TextRules::readNumber(field, text);
        if (!number.refusal.isEmpty()) {
            Q_EMIT editRefused(number.refusal);
            return false;
        }
        stored = number.value ? QVariant(*number.value) : QVariant();
    }
    if (field == u"区分調整" && stored.isNull())
        stored = 0;
    // The line of the row, by its ID, whatever it holds now.
    const int id = lineId(index.row());
    // A new date or amount moves the line's amount in the kept totals of dates.
    std::optional<Database::ChangeStamp> before = db->changeStamp();
    const bool inTotals = field == DateField || field == u"価格";
    std::optional<LineAmount> was;
    if (inTotals) {
        QSqlQuery old(db->connection());
        old.setForwardOnly(true);
        old.prepare(QStringLiteral(R"(SELECT "日付", "価格" FROM "棚卸マスター" WHERE "ID" = ?)"));
        old.addBindValue(id);
        if (!old.exec())
            before.reset(); // counted again
        else if (old.next())
            was = LineAmount { old.value(0).toString(), old.value(1) };
    }
    // A line of a finalised date is not changed, nor moved into one.
    {
        QSqlQuery day(db->connection());
        day.setForwardOnly(true);
        day.prepare(QStringLiteral(R"(SELECT "日付" FROM "棚卸マスター" WHERE "ID" = ?)"));
        day.addBindValue(id);
        QStringList days;
        if (day.exec() && day.next())
            days << day.value(0).toString();
        if (field == DateField)
            days << stored.toString();
        for (const QString& d : days) {
            if (const std::optional<HistoryTrail::DateLock> lock
                = HistoryTrail::lockOf(*db, QDate::fromString(d, Qt::ISODate))) {
                Q_EMIT editRefused(HistoryTrail::refusal(*lock));
                return false;
            }
        }
    }
    Transaction transaction(*db);
    QSqlQuery q(db->connection());
    q.prepare(QStringLiteral(R"(UPDATE "棚卸マスター" SET "%1" = ? WHERE "ID" = ?)").arg(field));
    q.addBindValue(stored);
    q.addBindValue(id);
    if (!transaction.isActive() || !q.exec()) {
        const QString engine = q.lastError().text();
        Q_EMIT editRefused(engine.contains(QString::fromUtf8(HistoryTrail::LockedByTrigger))
                               ? HistoryTrail::explainRefusal(*db, engine)
                               : QStringLiteral("データベースに書き込めませんでした。変更は保存されていません。"));
        return false;
    }
    if (q.numRowsAffected() == 0) {
        Q_EMIT editRefused(QString::fromUtf8(RecordGoneMessage));
        return false;
    }
    q.finish();
    if (!transaction.commit()) {
        Q_EMIT editRefused(QStringLiteral("データベースに書き込めませんでした。変更は保存されていません。"));
        return false;
    }
    if (was) {
        const LineAmount now
            = field == DateField ? LineAmount { stored.toString(), was->amount } : LineAmount { was->day, stored };
        carryDateTotals(*db, before, { *was }, { now });
    } else {
        carryDateTotals(*db, before, {}, {});
    }
    // The row is read again; the selection itself stays as it is.
    m_lines.forget(id);
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    return true;
}

bool LinesModel::isEditable(const QModelIndex& index) const
{
    // Only a model of whole lines holds fields of the line alone.
    return m_editable && m_firstColumn == 0 && index.isValid() && field(index.column()) != IdField;
}
