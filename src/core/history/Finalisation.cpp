// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/history/Finalisation.h"

#include "core/lines/LineChecks.h"
#include "core/lines/LineRegistration.h"
#include "core/printing/SheetText.h"
#include "core/store/FileOps.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace Finalisation {

namespace {

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

QString shownDate(QDate date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QDateTime storedTime(const QVariant& value)
{
    return QDateTime::fromString(value.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString hexSha256(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The canonical text of each line of the date in ID order, handed one line at a time.
bool visitLines(const Database& db, QDate date, const std::function<void(const QString&)>& visit)
{
    QStringList columns = ChangeHistory::columnOrder();
    QStringList selected;
    for (const QString& column : columns)
        selected << QStringLiteral(R"(%1, "%2")")
                        .arg(HistoryTrail::valueType(db.connection(), QStringLiteral(R"("%1")").arg(column)), column);
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1 FROM "棚卸マスター" WHERE "日付" = ? ORDER BY "ID")")
                  .arg(selected.join(QStringLiteral(", "))));
    q.addBindValue(storedDate(date));
    if (!q.exec())
        return false;
    QStringList fields;
    while (q.next()) {
        fields.clear();
        for (int i = 0; i < columns.size(); ++i) {
            const QString type = q.value(2 * i).toString();
            const QVariant value = q.value(2 * i + 1);
            if (type == u"null")
                fields << QStringLiteral("N");
            else if (type == u"integer")
                fields << QLatin1Char('I') + QString::number(value.toLongLong());
            else if (type == u"real")
                fields << QLatin1Char('R') + QString::number(value.toDouble(), 'g', 17);
            else if (type == u"blob")
                fields << QLatin1Char('B') + QString::fromLatin1(value.toByteArray().toHex());
            else
                fields << QLatin1Char('T') + value.toString();
        }
        visit(fields.join(QLatin1Char('\t')) + QLatin1Char('\n'));
    }
    return !q.lastError().isValid();
}

Record recordOf(const QSqlQuery& q)
{
    Record r;
    r.id = q.value(0).toLongLong();
    r.date = QDate::fromString(q.value(1).toString(), Qt::ISODate);
    r.finalisedAt = storedTime(q.value(2));
    r.station = q.value(3).toString();
    r.layoutName = q.value(4).toString();
    r.lineCount = q.value(5).toLongLong();
    r.total = q.value(6).toDouble();
    r.linesHash = q.value(7).toString();
    r.pdfHash = q.value(8).toString();
    r.pdfSize = q.value(9).toLongLong();
    if (!q.value(10).isNull())
        r.undoneAt = storedTime(q.value(10));
    r.undoReason = q.value(11).toString();
    r.undoStation = q.value(12).toString();
    r.historyNumber = q.value(13).toLongLong();
    return r;
}

QString recordColumns(const QSqlDatabase& db)
{
    return QStringLiteral(R"(f."番号", f."日付", f."確定時刻", f."端末", f."様式", f."行数", f."合計",
    f."明細SHA256", f."PDFSHA256", length(f."PDF"), f."取消時刻", f."取消理由", f."取消端末",
    (SELECT h."番号" FROM "変更履歴" h WHERE h."種類" = '確定' AND h."日付" = f."日付"
        AND %1 = f."番号"))")
        .arg(HistoryTrail::jsonNumber(db, QStringLiteral(R"(h."新値")"), QStringLiteral("番号")));
}

std::optional<qint64> countOf(const Database& db, const LineSelection& selection)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT count(*) FROM "棚卸マスター" WHERE %1)").arg(selection.condition));
    for (const QVariant& value : selection.values)
        q.addBindValue(value);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

Outcome outcome(Outcome::Status status, const QString& message, qint64 lines = 0)
{
    Outcome o;
    o.status = status;
    o.message = message;
    o.lines = lines;
    return o;
}

// The first sealed row whose seal is not its own (altered), or whose chain breaks (a row
// before it removed), or the last seal kept aside that no row carries (the last rows removed).
std::optional<QString> brokenSeal(const Database& db)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral(R"(SELECT "番号", "時刻", "種類", "行ID", "日付", "旧値", "新値", "端末", "封印"
            FROM "変更履歴" ORDER BY "番号")")))
        return QStringLiteral("変更履歴を読み込めませんでした。");
    QString previous;
    qint64 lastSealed = 0;
    QString lastSeal;
    bool unsealedBefore = false;
    while (q.next()) {
        const qint64 number = q.value(0).toLongLong();
        const QVariant seal = q.value(8);
        if (seal.isNull()) {
            unsealedBefore = true;
            continue;
        }
        const QString expected
            = HistoryTrail::sealOf(number, q.value(1).toString(), q.value(2).toString(), q.value(3), q.value(4),
                                   q.value(5), q.value(6), q.value(7).toString(), previous);
        if (unsealedBefore || expected != seal.toString())
            return QStringLiteral("変更履歴の番号 %1 が封印の後で変更されたか、その前の行が削除されています。")
                .arg(number);
        previous = seal.toString();
        lastSealed = number;
        lastSeal = previous;
    }
    q.finish();
    if (!q.exec(QStringLiteral(R"(SELECT "最終番号", "封印" FROM "履歴封印" WHERE "番号" = 1)")))
        return QStringLiteral("変更履歴を読み込めませんでした。");
    if (q.next() && (q.value(0).toLongLong() != lastSealed || q.value(1).toString() != lastSeal))
        return QStringLiteral("封印された変更履歴（番号 %1 まで）の終わりが削除されています。")
            .arg(q.value(0).toLongLong());
    return std::nullopt;
}

} // namespace

std::optional<DateLock> lockOf(const Database& db, QDate date)
{
    return HistoryTrail::lockOf(db, date);
}

QString refusal(const DateLock& lock)
{
    return HistoryTrail::refusal(lock);
}

std::optional<QList<Record>> records(const Database& db, QDate date)
{
    if (!db.hasHistory() && !HistoryTrail::hasHistory(db.connection()))
        return std::nullopt;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT %1 FROM "棚卸確定" f WHERE f."日付" = ? ORDER BY f."番号")")
                  .arg(recordColumns(db.connection())));
    q.addBindValue(storedDate(date));
    if (!q.exec())
        return std::nullopt;
    QList<Record> found;
    while (q.next())
        found << recordOf(q);
    return found;
}

std::optional<Record> latest(const Database& db, QDate date)
{
    const std::optional<QList<Record>> all = records(db, date);
    if (!all || all->isEmpty())
        return std::nullopt;
    return all->constLast();
}

std::optional<QString> linesText(const Database& db, QDate date)
{
    QString text;
    if (!visitLines(db, date, [&text](const QString& line) { text += line; }))
        return std::nullopt;
    return text;
}

std::optional<QString> linesHash(const Database& db, QDate date)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!visitLines(db, date, [&hash](const QString& line) { hash.addData(line.toUtf8()); }))
        return std::nullopt;
    return QString::fromLatin1(hash.result().toHex());
}

Outcome finalise(const Database& db, QDate date, const Options& options, const ProgressStep& progress)
{
    const QString failed = QStringLiteral("データベースの接続に失敗しました。");
    if (!db.isOpen() || db.isReadOnly() || !db.hasHistory())
        return outcome(Outcome::Status::Failed,
                       QStringLiteral("このファイルには確定を保存できません（読み取り専用か、古い形式のままです）。"));
    // The lines are read, printed and hashed inside the transaction that stores the result:
    // no other program changes them in between.
    Transaction transaction(db);
    if (!transaction.isActive())
        return outcome(Outcome::Status::Failed, failed);
    if (const std::optional<DateLock> lock = lockOf(db, date))
        return outcome(Outcome::Status::AlreadyFinalised, HistoryTrail::refusal(*lock));
    const std::optional<int> lines = StocktakingSheet::lineCount(db, date);
    if (!lines)
        return outcome(Outcome::Status::Failed, failed);
    if (*lines == 0)
        return outcome(Outcome::Status::NoLines,
                       QStringLiteral("該当する棚卸はありません。決算日を確認してください。"));
    const std::optional<qint64> noCategory = countOf(db, LineSelections::missingCategory(date));
    if (!noCategory)
        return outcome(Outcome::Status::Failed, failed);
    if (*noCategory > 0)
        return outcome(Outcome::Status::MissingCategory,
                       QStringLiteral("項目/分類が登録された項目に属さない棚卸が %1 件あります。"
                                      "棚卸の確定を中止しました。棚卸表訂正を行ってください。")
                           .arg(*noCategory),
                       *noCategory);
    const std::optional<qint64> noPrice = countOf(
        db,
        { QStringLiteral(R"("日付" = ? AND ("価格" IS NULL OR "単価" IS NULL OR "単価" = 0))"), { storedDate(date) } });
    if (!noPrice)
        return outcome(Outcome::Status::Failed, failed);
    if (*noPrice > 0)
        return outcome(Outcome::Status::MissingPrice,
                       QStringLiteral("単価が入力されていない棚卸が %1 件あります。"
                                      "棚卸の確定を中止しました。単価未入力の棚卸を訂正してください。")
                           .arg(*noPrice),
                       *noPrice);

    const std::optional<StocktakingSheet::Document> document = StocktakingSheet::load(db, date);
    if (!document)
        return outcome(Outcome::Status::Failed, failed);
    QTemporaryDir spool;
    const QString path = spool.filePath(QStringLiteral("棚卸表.pdf"));
    PageSetup setup;
    if (progress) {
        const int pages = StocktakingSheet::pageCount(*document, options.layout);
        setup.progress = [progress, pages](int done) { return progress(done, pages); };
    }
    QString error;
    const std::optional<StocktakingSheet::Printed> printed = spool.isValid()
        ? StocktakingSheet::writePdf(*document, options.layout, options.fontFamily, options.offsetX, options.offsetY,
                                     path, &error, setup)
        : std::nullopt;
    if (!printed && error.isEmpty() && spool.isValid())
        return outcome(Outcome::Status::Cancelled, QStringLiteral("棚卸の確定を中止しました。"));
    if (!printed || printed->cancelled)
        return printed
            ? outcome(Outcome::Status::Cancelled, QStringLiteral("棚卸の確定を中止しました。"))
            : outcome(Outcome::Status::Failed, QStringLiteral("棚卸表を PDF に出力できませんでした。\n") + error);
    const std::optional<double> total = StocktakingSheet::storedTotal(db, date);
    if (!total || printed->unread)
        return outcome(Outcome::Status::Failed, failed);
    if (!StocktakingSheet::totalsAgree(*total, printed->total))
        return outcome(Outcome::Status::TotalsDisagree,
                       QStringLiteral("出力した棚卸表に出力漏れがあります（印刷した合計 %1 円、決算日の合計 %2 円）。"
                                      "棚卸の確定を中止しました。")
                           .arg(SheetText::amount(printed->total), SheetText::amount(*total)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return outcome(Outcome::Status::Failed, QStringLiteral("棚卸表を PDF に出力できませんでした。"));
    const QByteArray pdf = file.readAll();
    file.close();
    const std::optional<QString> hash = linesHash(db, date);
    if (!hash)
        return outcome(Outcome::Status::Failed, failed);

    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(R"(INSERT INTO "棚卸確定" ("日付", "確定時刻", "端末", "様式", "行数", "合計",
        "明細SHA256", "PDF", "PDFSHA256") VALUES (?, %1, ?, ?, ?, ?, ?, ?, ?))")
                  .arg(HistoryTrail::timeNow(db.connection())));
    for (const QVariant& value :
         QVariantList { storedDate(date), HistoryTrail::station(), StocktakingSheet::layoutName(options.layout), *lines,
                        *total, *hash, pdf, hexSha256(pdf) })
        q.addBindValue(value);
    if (!q.exec())
        return outcome(Outcome::Status::Failed, failed + QLatin1Char('\n') + q.lastError().text());
    q.finish();
    if (!transaction.commit(&error))
        return outcome(Outcome::Status::Failed, failed + QLatin1Char('\n') + error);
    Outcome done = outcome(Outcome::Status::Done, {});
    done.record = latest(db, date);
    done.message = QStringLiteral("決算日 %1 の棚卸を確定しました（%2 行、合計 %3 円、棚卸表 %4 頁）。")
                       .arg(shownDate(date), SheetText::amount(*lines), SheetText::amount(*total))
                       .arg(printed->pages);
    return done;
}

bool undo(const Database& db, QDate date, const QString& reason, QString* error)
{
    if (reason.trimmed().isEmpty())
        return fail(error, QStringLiteral("取消の理由を入力してください。"));
    const std::optional<DateLock> lock = lockOf(db, date);
    if (!lock)
        return fail(error, QStringLiteral("決算日 %1 の棚卸は確定されていません。").arg(shownDate(date)));
    Transaction transaction(db);
    QString engine;
    if (!transaction.isActive()
        || !db.exec(QStringLiteral(R"(UPDATE "棚卸確定" SET "取消時刻" = %1, "取消理由" = ?, "取消端末" = ?
            WHERE "番号" = ? AND "取消時刻" IS NULL)")
                        .arg(HistoryTrail::timeNow(db.connection())),
                    { reason.trimmed(), HistoryTrail::station(), lock->finalisation }, &engine)
        || !transaction.commit(&engine))
        return fail(error, QStringLiteral("確定を取り消せませんでした。\n") + engine);
    return true;
}

Verification verify(const Database& db, QDate date)
{
    Verification v;
    if (!db.isOpen() || !HistoryTrail::hasHistory(db.connection())) {
        v.findings << QStringLiteral("このファイルには確定の記録がありません。");
        return v;
    }
    v.record = latest(db, date);
    const std::optional<QString> broken = brokenSeal(db);
    v.historyBroken = broken.has_value();
    if (broken)
        v.findings << *broken;
    if (!v.record) {
        // The history tells of a finalisation whose record is gone.
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral(R"(SELECT count(*) FROM "変更履歴" WHERE "種類" = '確定' AND "日付" = ?)"));
        q.addBindValue(storedDate(date));
        const bool told = q.exec() && q.next() && q.value(0).toLongLong() > 0;
        if (told)
            v.findings << QStringLiteral("決算日 %1 の確定の記録が削除されています。").arg(shownDate(date));
        else
            v.findings << QStringLiteral("決算日 %1 の棚卸は確定されていません。").arg(shownDate(date));
        v.status = told || v.historyBroken ? Verification::Status::Changed : Verification::Status::CannotTell;
        return v;
    }
    const std::optional<QString> hash = linesHash(db, date);
    const std::optional<QByteArray> stored = pdf(db, v.record->id);
    if (!hash || !stored) {
        v.findings << QStringLiteral("データベースの読み込みに失敗しました。");
        v.status = Verification::Status::CannotTell;
        return v;
    }
    v.linesChanged = *hash != v.record->linesHash;
    v.pdfChanged = hexSha256(*stored) != v.record->pdfHash;
    ChangeHistory::Filter filter;
    filter.date = date;
    ChangeHistory::forEach(db, filter, [&v](const ChangeHistory::Entry& e) {
        if (e.number > v.record->historyNumber && e.kind != ChangeHistory::Kind::Finalised
            && e.kind != ChangeHistory::Kind::Undone)
            v.changes << e;
        return true;
    });
    const QString when = v.record->finalisedAt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    if (!v.record->active())
        v.findings << QStringLiteral("この確定は %1 に取り消されています（理由: %2）。")
                          .arg(v.record->undoneAt->toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                               v.record->undoReason);
    if (v.linesChanged)
        v.findings << QStringLiteral("棚卸の明細が %1 の確定の後で変更されています。").arg(when);
    if (v.pdfChanged)
        v.findings << QStringLiteral("保存された棚卸表の PDF が確定の時のものと一致しません。");
    if (v.linesChanged && v.changes.isEmpty())
        v.findings << QStringLiteral("変更履歴には、確定の後の変更が記録されていません。");
    const bool changed = v.linesChanged || v.pdfChanged || v.historyBroken;
    v.status = changed ? Verification::Status::Changed : Verification::Status::Unchanged;
    if (!changed)
        v.findings
            << QStringLiteral("決算日 %1 の棚卸は %2 の確定の時から変更されていません。").arg(shownDate(date), when);
    return v;
}

std::optional<QByteArray> pdf(const Database& db, qint64 recordId)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT "PDF" FROM "棚卸確定" WHERE "番号" = ?)"));
    q.addBindValue(recordId);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toByteArray();
}

bool writePdf(const Database& db, qint64 recordId, const QString& path, QString* error)
{
    const std::optional<QByteArray> bytes = pdf(db, recordId);
    if (!bytes)
        return fail(error, QStringLiteral("保存された棚卸表が見つかりません。"));
    const QString temp = FileOps::temporaryPathFor(path);
    QFile file(temp);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(*bytes) == bytes->size() && file.flush();
    file.close();
    QString why;
    if (!written || !FileOps::replaceWith(temp, path, &why)) {
        QFile::remove(temp);
        return fail(error,
                    QStringLiteral("PDFファイルを保存できませんでした。%1\n%2")
                        .arg(path, why.isEmpty() ? file.errorString() : why));
    }
    return true;
}

} // namespace Finalisation
