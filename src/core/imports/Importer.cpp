// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/imports/Importer.h"

#include "core/files/FailureCause.h"
#include "core/imports/ImportWriter.h"
#include "core/imports/TabFile.h"
#include "core/lines/LineRegistration.h"
#include "core/masters/ProductCodes.h"
#include "core/rules/TextRules.h"
#include "core/store/HistoryTrail.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <cmath>
#include <limits>

namespace {

// Only this many bad records are named; the rest are counted.
constexpr int ProblemsNamed = 10;
// The progress callback is called at most this often.
constexpr qint64 ProgressInterval = 50;

// Stored names keep their first characters only.
constexpr int NameLength = 50;
constexpr int MemoLength = 50;

// Bytes of a counted line in a file, at the most, to reckon the lines of a file before reading it.
constexpr qint64 BytesPerLine = 100;

// What every import run shares: the file read record by record, the bad records found,
// the progress callback and why the run ended early.
class ImportRun
{
public:
    ImportRun(const QString& path, const ImportMapping& mapping, const ImportProgress& progress)
        : m_mapping(mapping)
        , m_progress(progress)
    {
        if (!m_reader.open(path)) {
            m_outcome.failure = m_reader.errorText();
            return;
        }
        // The heading line names the columns; it is never imported.
        TabRecord heading;
        m_opened = m_reader.next(heading) || !m_reader.hasError();
        if (!m_opened)
            refuse(m_reader.errorLine(), m_reader.errorText());
        m_clock.start();
    }

    bool opened() const { return m_opened; }

    // The next record; false at the end of the file, at a text the file's encoding does
    // not allow (a bad record) and after a cancel.
    bool next()
    {
        if (m_cancelled || !m_reader.next(m_record)) {
            if (m_reader.hasError())
                refuse(m_reader.errorLine(), m_reader.errorText());
            return false;
        }
        ++m_done;
        if (m_progress && m_clock.elapsed() >= ProgressInterval) {
            m_clock.restart();
            if (!m_progress(m_done, estimatedTotal()))
                m_cancelled = true;
        }
        return !m_cancelled;
    }

    // Whether this record has gone wrong (a problem was noted for it).
    bool refused() const { return m_problemCount > 0; }
    // Whether the reason of the next bad record is told (the rest are only counted).
    bool tellsNextReason() const { return m_problemCount < ProblemsNamed; }

    // Notes a bad record; only the first reason of a record is told.
    void refuse(qint64 line, const QString& reason)
    {
        if (line == m_lastRefused)
            return;
        m_lastRefused = line;
        if (m_problemCount++ < ProblemsNamed)
            m_outcome.problems.append({ line, reason });
        else
            ++m_outcome.moreProblems;
    }

    // The text of field (1-based) of the current record: empty when no column is
    // assigned; nullopt (a problem noted) when the column lies beyond the record's end.
    std::optional<QString> field(int field)
    {
        const int column = m_mapping.columnNumber(field);
        if (column <= 0)
            return QString();
        if (column > m_record.fields.size()) {
            refuse(m_record.line,
                   QStringLiteral("%1の列（%2 列目）がありません（この行は %3 列です）。")
                       .arg(label(field))
                       .arg(column)
                       .arg(m_record.fields.size()));
            return std::nullopt;
        }
        return m_record.fields.at(column - 1);
    }

    // The number in field by the entry screen's rules, in the forms a spreadsheet writes as
    // well (a yen sign, an accounting negative, an exponent); empty counts as 0 unless
    // required. nullopt (a problem noted) for text that is no number or one too large.
    std::optional<double> number(int field, bool required = false)
    {
        const std::optional<QString> text = this->field(field);
        if (!text)
            return std::nullopt;
        const TextRules::NumberInput input
            = TextRules::readNumber(label(field), *text, TextRules::NumberForms::Spreadsheet);
        if (!input.refusal.isEmpty()) {
            refuse(m_record.line, input.refusal);
            return std::nullopt;
        }
        if (!input.value && required) {
            refuse(m_record.line,
                   m_mapping.isAssigned(field) ? QStringLiteral("%1が入力されていません。").arg(label(field))
                                               : QStringLiteral("%1の列が割り当てられていません。").arg(label(field)));
            return std::nullopt;
        }
        return input.value.value_or(0);
    }

    // The unit in field, without the blanks around it (as the entry screen takes them off);
    // nullopt (a problem noted) for one longer than the unit master takes.
    std::optional<QString> unit(int field)
    {
        std::optional<QString> text = this->field(field);
        if (!text)
            return std::nullopt;
        if (!text->isEmpty() && (text->front().isSpace() || text->back().isSpace()))
            text = text->trimmed();
        // A file names a handful of units over and over: each is measured once.
        if (text->isEmpty() || m_unitsFitting.contains(*text))
            return text;
        if (const std::optional<QString> tooLong = TextRules::nameTooLong(TextRules::Name::Unit, *text)) {
            refuse(m_record.line, QStringLiteral("単位「%1」が長すぎます。%2").arg(*text, *tooLong));
            return std::nullopt;
        }
        m_unitsFitting.insert(*text);
        return text;
    }

    // A product's unit price as stored: the whole number nearest to price (halves to the
    // even neighbour) as a 32-bit integer; nullopt (a problem noted) beyond that range.
    std::optional<int> wholePrice(double price, int field)
    {
        const double rounded = std::nearbyint(price); // the default rounding: halves to even
        if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max()) {
            refuse(m_record.line,
                   QStringLiteral("%1が大きすぎます（品名情報の%1は %2 まで）。")
                       .arg(label(field))
                       .arg(TextRules::formatAmount(std::numeric_limits<int>::max())));
            return std::nullopt;
        }
        return int(rounded);
    }

    // The codes in field as they are kept, each once; nullopt (a problem noted) when one of
    // them is not a valid code.
    std::optional<QStringList> codes(int field)
    {
        const std::optional<QString> text = this->field(field);
        if (!text)
            return std::nullopt;
        QStringList codes;
        if (text->isEmpty())
            return codes;
        for (const QString& item : ProductCodes::splitCell(*text)) {
            const ProductCodes::Checked checked = ProductCodes::check(item);
            if (!checked.valid()) {
                refuse(m_record.line, checked.error);
                return std::nullopt;
            }
            if (!codes.contains(checked.code))
                codes << checked.code;
        }
        return codes;
    }

    qint64 line() const { return m_record.line; }
    qint64 recordsRead() const { return m_done; }
    qint64 fileSize() const { return m_reader.size(); }

    // How the run ends when it was not a database failure.
    ImportOutcome finish(ImportOutcome::Status written)
    {
        if (!m_opened && m_problemCount == 0)
            m_outcome.status = ImportOutcome::Status::Failed;
        else if (m_problemCount > 0)
            m_outcome.status = ImportOutcome::Status::Refused;
        else if (m_cancelled)
            m_outcome.status = ImportOutcome::Status::Cancelled;
        else {
            m_outcome.status = written;
            if (m_progress)
                m_progress(m_done, m_done);
        }
        if (m_outcome.status != ImportOutcome::Status::Done) {
            m_outcome.linesAdded = m_outcome.categoriesAdded = m_outcome.productsAdded = 0;
        }
        return m_outcome;
    }

    ImportOutcome failed(const QString& path, const QString& detail)
    {
        m_outcome.status = ImportOutcome::Status::Failed;
        m_outcome.failure = FailureCause::withCause(
            QStringLiteral("データベースに書き込めませんでした。インポートしたデータはありません。"),
            FailureCause::ofWrite(path, detail));
        if (!detail.isEmpty())
            m_outcome.failure += QLatin1Char('\r') + detail;
        m_outcome.linesAdded = m_outcome.categoriesAdded = m_outcome.productsAdded = 0;
        return m_outcome;
    }

    ImportOutcome& outcome() { return m_outcome; }

private:
    QString label(int field) const { return importFieldLabels(m_mapping.kind()).value(field - 1); }

    // The records in all, from the part of the file read so far.
    qint64 estimatedTotal() const
    {
        const qint64 position = m_reader.position();
        if (position <= 0 || m_reader.size() <= position)
            return m_done;
        return std::max(m_done, qint64(double(m_done) * double(m_reader.size()) / double(position)));
    }

    const ImportMapping& m_mapping;
    const ImportProgress& m_progress;
    TabFileReader m_reader;
    TabRecord m_record;
    QElapsedTimer m_clock;
    ImportOutcome m_outcome;
    qint64 m_done = 0;
    qint64 m_lastRefused = -1;
    int m_problemCount = 0;
    bool m_opened = false;
    bool m_cancelled = false;
    QSet<QString> m_unitsFitting;
};

// The fields of the two imports, by their 1-based position in importFieldLabels().
namespace LineField {
constexpr int Category = 1, Name = 2, Quantity = 3, Unit = 4, UnitPrice = 5, Amount = 6, Memo = 7;
}
namespace ProductField {
constexpr int Name = 1, Unit = 2, UnitPrice = 3, Code = 4;
}

} // namespace

QString importFailedMessage(ImportKind kind)
{
    return kind == ImportKind::Lines ? QStringLiteral("インポートに失敗しました。棚卸データは取り込まれていません。")
                                     : QStringLiteral("インポートに失敗しました。品名情報は変更されていません。");
}

QString noRecordsMessage()
{
    return QStringLiteral("インポートするデータがありません。ファイルの１行目は見出し行で、"
                          "２行目からがインポートするデータです。");
}

QString ImportOutcome::details() const
{
    if (status == Status::Failed)
        return failure;
    QStringList lines;
    for (const ImportProblem& p : problems)
        lines << QStringLiteral("行 %1: %2").arg(p.line).arg(p.reason);
    if (moreProblems > 0)
        lines << QStringLiteral("ほかに %1 行").arg(moreProblems);
    return lines.join(QLatin1Char('\n'));
}

ImportSurvey surveyImportFile(const QString& path, const ImportMapping& mapping)
{
    ImportSurvey survey;
    TabFileReader reader;
    if (!reader.open(path)) {
        survey.error = reader.errorText();
        return survey;
    }
    const int column = mapping.columnNumber(nameField(mapping.kind()));
    TabRecord record;
    bool heading = true;
    while (reader.next(record)) {
        if (heading) {
            heading = false;
            continue;
        }
        ++survey.records;
        survey.lastRecordHasName = column > 0 && column <= record.fields.size() && !record.fields[column - 1].isEmpty();
    }
    if (reader.hasError()) {
        survey.error = QStringLiteral("行 %1: %2").arg(reader.errorLine()).arg(reader.errorText());
        return survey;
    }
    if (survey.records == 0) {
        survey.error = noRecordsMessage();
        return survey;
    }
    survey.readable = true;
    return survey;
}

std::optional<bool> linesExistOn(const Database& db, const QDate& date, QString* error)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(R"(SELECT 1 FROM "棚卸マスター" WHERE "日付" = ? LIMIT 1)"));
    q.addBindValue(storedDate(date));
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return std::nullopt;
    }
    return q.next();
}

namespace {

// One import from start to end: each record of the file goes to record(); whatever went
// wrong, nothing stays written unless every record was good and the commit succeeded.
// record() returns false to stop at once (the database refused a write).
using RecordStep = std::function<bool(ImportRun& run, ImportWriter& writer)>;
// linesDay: the date (as stored) of counted lines, which the history records as one entry.
ImportOutcome runImport(Database& db, const QString& path, const ImportMapping& mapping, const ImportProgress& progress,
                        const QString& linesDay, const RecordStep& record)
{
    ImportWriter writer(db);
    if (!linesDay.isEmpty())
        writer.recordAsOneEntry(linesDay, path);
    // The callback may let windows repaint, and a repaint may read the database: the
    // writing thread holds still meanwhile (the connection serves one thread at a time).
    ImportProgress heldProgress;
    if (progress)
        heldProgress = [&](qint64 done, qint64 total) {
            const auto held = writer.holdWrites();
            return progress(done, total);
        };
    ImportRun run(path, mapping, heldProgress);
    if (!run.opened())
        return run.finish(ImportOutcome::Status::Failed);
    if (!writer.begin(mapping.kind() == ImportKind::Lines ? run.fileSize() / BytesPerLine : 0))
        return run.failed(db.fileName(), writer.error());
    while (run.next() && record(run, writer)) { }
    if (writer.hasFailed())
        return run.failed(db.fileName(), writer.error());
    if (run.recordsRead() == 0 && !run.refused()) {
        ImportOutcome& empty = run.outcome();
        empty.status = ImportOutcome::Status::Failed;
        empty.failure = noRecordsMessage();
        return empty;
    }
    ImportOutcome outcome = run.finish(ImportOutcome::Status::Done);
    if (outcome.status == ImportOutcome::Status::Done && !writer.commit())
        return run.failed(db.fileName(), writer.error());
    return outcome;
}

} // namespace

ImportOutcome importLines(Database& db, const QString& path, const QDate& date, const ImportMapping& mapping,
                          const ImportProgress& progress)
{
    const QString day = storedDate(date);
    // A finalised date takes no lines: refused before the file is read, nothing written.
    if (QString refusal; HistoryTrail::refuseLocked(db, date, &refusal)) {
        ImportOutcome locked;
        locked.status = ImportOutcome::Status::Failed;
        locked.failure = refusal;
        return locked;
    }
    return runImport(db, path, mapping, progress, day, [&](ImportRun& run, ImportWriter& writer) {
        // In the order of the fields, so that a record's first fault is the one told.
        const std::optional<QString> category = run.field(LineField::Category);
        const std::optional<QString> name = run.field(LineField::Name);
        if (name && name->isEmpty())
            run.refuse(run.line(), QStringLiteral("品名が入力されていません。"));
        const std::optional<double> quantity = run.number(LineField::Quantity);
        const std::optional<QString> unitField = run.unit(LineField::Unit);
        const std::optional<double> unitPrice = run.number(LineField::UnitPrice);
        const std::optional<double> amount = run.number(LineField::Amount, true);
        const std::optional<QString> memoField = run.field(LineField::Memo);
        // After the first bad record the rest is only checked: nothing is going to be written.
        if (!category || !name || !unitField || !memoField || !quantity || !unitPrice || !amount || run.refused())
            return true;
        ImportOutcome& counts = run.outcome();
        const QString product = name->left(NameLength);
        const QString& unit = *unitField;
        std::optional<int> productId = writer.productId(product);
        if (!productId) {
            const std::optional<int> price = run.wholePrice(*unitPrice, LineField::UnitPrice);
            if (!price)
                return true;
            productId = writer.addProduct(product, unit, *price);
            ++counts.productsAdded;
        }
        // No name is category 0; so is its own name, "未区分", found like any other.
        std::optional<int> categoryId = 0;
        if (!category->isEmpty()) {
            categoryId = writer.categoryId(*category);
            if (!categoryId) {
                categoryId = writer.addCategory(*category);
                ++counts.categoriesAdded;
            }
        }
        double whole = std::trunc(*amount);
        if (whole == 0)
            whole = 0; // no negative zero
        writer.addLine(
            { day, *categoryId, product, *quantity, unit, *unitPrice, whole, memoField->left(MemoLength), *productId });
        ++counts.linesAdded;
        return !writer.hasFailed();
    });
}

ImportOutcome importProducts(Database& db, const QString& path, const ImportMapping& mapping, bool updateExisting,
                             const ImportProgress& progress)
{
    return runImport(db, path, mapping, progress, {}, [&](ImportRun& run, ImportWriter& writer) {
        const std::optional<QString> name = run.field(ProductField::Name);
        if (!name || name->isEmpty()) // a record without a name is no product: skipped
            return true;
        const std::optional<QString> unitField = run.unit(ProductField::Unit);
        const std::optional<double> unitPrice = run.number(ProductField::UnitPrice);
        const std::optional<QStringList> codes = run.codes(ProductField::Code);
        if (!unitField || !unitPrice || !codes)
            return true;
        const std::optional<int> price = run.wholePrice(*unitPrice, ProductField::UnitPrice);
        if (!price || run.refused())
            return true;
        const QString product = name->left(NameLength);
        const QString& unit = *unitField;
        const std::optional<int> known = writer.productId(product);
        if (known && !updateExisting)
            return true;
        // A code belongs to one product: one that another product has refuses the record.
        if (!codes->isEmpty() && !writer.keepsCodes()) {
            run.refuse(run.line(), QStringLiteral("このデータベースファイルはコードを登録できない古い形式です。"));
            return true;
        }
        QStringList newCodes;
        for (const QString& code : *codes) {
            const int owner = writer.codeOwner(code);
            if (owner == 0) {
                newCodes << code;
            } else if (owner != known.value_or(0)) {
                // Finding the owner's name may take a look through the run's products.
                run.refuse(run.line(),
                           run.tellsNextReason() ? ProductCodes::inUseMessage(code, writer.productName(owner))
                                                 : QString());
                return true;
            }
        }
        int id = 0;
        if (known) {
            // A field without a column in the file is not known to be empty: the product
            // keeps its own unit or price rather than losing it.
            const auto assigned = [&](int field) { return mapping.isAssigned(field); };
            writer.updateProduct(*known, assigned(ProductField::Unit) ? std::optional(unit) : std::nullopt,
                                 assigned(ProductField::UnitPrice) ? std::optional(*price) : std::nullopt);
            id = *known;
        } else {
            id = writer.addProduct(product, unit, *price);
            ++run.outcome().productsAdded;
        }
        for (const QString& code : newCodes)
            writer.addCode(id, code);
        writer.registerUnit(unit);
        return !writer.hasFailed();
    });
}
