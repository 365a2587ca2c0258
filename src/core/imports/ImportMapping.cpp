// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/imports/ImportMapping.h"

#include "core/files/FailureCause.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// Column numbers go up to the reader's bound of fields in one record.
constexpr int MaxColumn = 16384;
// A mapping file is a few hundred bytes; anything far larger is not one.
constexpr qint64 MaxFileSize = 1 << 20;

// A column name is written as it stands unless reading it back would change it: a comma
// or a line break would split it, blanks at its ends would be dropped and a leading quote
// would start a quoted item. Such a name is written between quotes, "" for a quote.
bool needsQuotes(const QString& name)
{
    if (name.isEmpty())
        return false;
    return name.contains(QLatin1Char(',')) || name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r'))
        || name.front().isSpace() || name.back().isSpace() || name.front() == QLatin1Char('"');
}

QString quoted(const QString& name)
{
    QString text = name;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The items of a mapping file: separated by commas or line ends (CRLF, LF or CR), blanks
// around an item dropped, an item between quotes taken whole ("" is a quote inside it).
QStringList items(const QString& text)
{
    QStringList result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto isLineEnd
        = [&text](qsizetype at) { return text[at] == QLatin1Char('\r') || text[at] == QLatin1Char('\n'); };
    const auto skipLineEnd = [&text, &i, n]() {
        if (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        ++i;
    };
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
        QString item;
        if (i < n && text[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
            while (i < n && text[i] != QLatin1Char(',') && !isLineEnd(i))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != QLatin1Char(',') && !isLineEnd(i))
                ++i;
            item = text.mid(start, i - start).trimmed();
        }
        result.append(item);
        if (i < n) {
            if (text[i] == QLatin1Char(',')) {
                ++i;
                // "name,number" on one line: the line end after the comma ends no further item.
                if (i < n && isLineEnd(i))
                    skipLineEnd();
            } else {
                skipLineEnd();
            }
        }
    }
    return result;
}

std::optional<int> parsedColumnNumber(const QString& text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < 0 || number > MaxColumn)
        return std::nullopt;
    return number;
}

} // namespace

const QStringList& importFieldLabels(ImportKind kind)
{
    static const QStringList lines = {
        QStringLiteral("項目/分類名"), QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("単位"),
        QStringLiteral("単価"),        QStringLiteral("価格"), QStringLiteral("備考"),
    };
    static const QStringList products
        = { QStringLiteral("品名"), QStringLiteral("単位"), QStringLiteral("単価"), QStringLiteral("JANコード") };
    return kind == ImportKind::Lines ? lines : products;
}

int firstFieldsCount(ImportKind kind)
{
    return kind == ImportKind::Lines ? 7 : 3;
}

int nameField(ImportKind kind)
{
    return kind == ImportKind::Lines ? 2 : 1;
}

ImportMapping::ImportMapping(ImportKind kind)
    : m_kind(kind)
{
    const qsizetype count = importFieldLabels(kind).size();
    m_names.resize(count);
    m_columns.resize(count);
}

int ImportMapping::fieldCount() const
{
    return static_cast<int>(m_names.size());
}

QString ImportMapping::columnName(int field) const
{
    return field >= 1 && field <= fieldCount() ? m_names[field - 1] : QString();
}

int ImportMapping::columnNumber(int field) const
{
    return field >= 1 && field <= fieldCount() ? m_columns[field - 1] : 0;
}

bool ImportMapping::isAssigned(int field) const
{
    return columnNumber(field) > 0;
}

void ImportMapping::assign(int field, const QString& name, int column)
{
    if (field < 1 || field > fieldCount())
        return;
    m_names[field - 1] = name;
    m_columns[field - 1] = std::max(column, 0);
}

void ImportMapping::clear(int field)
{
    assign(field, QString(), 0);
}

QString ImportMapping::fileName(ImportKind kind)
{
    return kind == ImportKind::Lines ? QStringLiteral("Kotrina_A.log") : QStringLiteral("Kotrina_B.log");
}

bool ImportMapping::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    const QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError && readData(bytes);
}

bool ImportMapping::readData(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return false;
    const QStringList values = items(text);
    // A file written before the later fields were added holds the first ones only; those
    // it does not name stay unassigned. Part of a pair is a file cut short.
    const int first = firstFieldsCount(m_kind);
    int count = fieldCount();
    if (values.size() < 2 * count) {
        count = first + int(values.size() - 2 * first) / 2;
        if (values.size() < 2 * first || values.size() % 2 != 0)
            return false;
    }
    QVector<int> columns(count);
    for (int i = 0; i < count; ++i) {
        const std::optional<int> column = parsedColumnNumber(values[2 * i + 1]);
        if (!column)
            return false;
        columns[i] = *column;
    }
    for (int i = 0; i < fieldCount(); ++i)
        assign(i + 1, i < count ? values[2 * i] : QString(), i < count ? columns[i] : 0);
    m_namesEveryField = count == fieldCount();
    return true;
}

void ImportMapping::assignUnnamedFields(const QStringList& headings)
{
    if (m_namesEveryField)
        return;
    const ImportMapping byLabel = fromHeadings(m_kind, headings);
    for (int field = firstFieldsCount(m_kind) + 1; field <= fieldCount(); ++field) {
        if (!isAssigned(field) && byLabel.isAssigned(field))
            assign(field, byLabel.columnName(field), byLabel.columnNumber(field));
    }
}

bool ImportMapping::write(const QString& path, QString* error) const
{
    QString text;
    for (int i = 0; i < fieldCount(); ++i) {
        const QString& name = m_names[i];
        text += needsQuotes(name) ? quoted(name) : name;
        text += QLatin1String("\r\n");
        text += QString::number(name.isEmpty() ? 0 : m_columns[i]);
        text += QLatin1String("\r\n");
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = FailureCause::withCause(QStringLiteral("インポートの設定ファイルを保存できませんでした。"),
                                         FailureCause::ofWrite(path, file.errorString()));
    return false;
}

QString HeadingDifference::text() const
{
    QString result = saved.isEmpty() ? QStringLiteral("保存時の見出しは記録なし")
                                     : QStringLiteral("保存時の見出しは「%1」").arg(saved);
    result += found ? QStringLiteral("、ファイルの %1 列目は「%2」").arg(column).arg(*found)
                    : QStringLiteral("、ファイルに %1 列目はありません").arg(column);
    if (movedTo > 0)
        result += QStringLiteral("（「%1」は %2 列目）").arg(saved).arg(movedTo);
    return result;
}

bool ImportMapping::sameHeading(const QString& a, const QString& b)
{
    return a.trimmed() == b.trimmed();
}

QList<HeadingDifference> ImportMapping::differences(const QStringList& headings) const
{
    QList<HeadingDifference> result;
    for (int field = 1; field <= fieldCount(); ++field) {
        if (!isAssigned(field))
            continue;
        HeadingDifference difference;
        difference.field = field;
        difference.saved = columnName(field);
        difference.column = columnNumber(field);
        if (difference.column <= headings.size())
            difference.found = headings.at(difference.column - 1);
        if (!difference.saved.isEmpty() && difference.found && sameHeading(*difference.found, difference.saved))
            continue;
        if (!difference.saved.isEmpty()) {
            for (int column = 1; column <= headings.size() && difference.movedTo == 0; ++column) {
                if (sameHeading(headings.at(column - 1), difference.saved))
                    difference.movedTo = column;
            }
        }
        result.append(difference);
    }
    return result;
}

bool ImportMapping::noSavedHeadingIn(const QStringList& headings) const
{
    bool anySaved = false;
    for (int field = 1; field <= fieldCount(); ++field) {
        const QString& saved = m_names[field - 1];
        if (!isAssigned(field) || saved.isEmpty())
            continue;
        anySaved = true;
        for (const QString& heading : headings) {
            if (sameHeading(heading, saved))
                return false;
        }
    }
    return anySaved;
}

QString ImportMapping::headingLineHint()
{
    return QStringLiteral("ファイルの 1 行目に保存時の見出しが一つもありません。1 行目は見出し行としてインポートされ"
                          "ないので、見出し行のないファイルは 1 行目に見出しを挿入してください。");
}

ImportMapping ImportMapping::fromHeadings(ImportKind kind, const QStringList& headings)
{
    ImportMapping mapping(kind);
    const QStringList& labels = importFieldLabels(kind);
    for (int field = 1; field <= labels.size(); ++field) {
        for (int column = 1; column <= headings.size(); ++column) {
            if (headings[column - 1].trimmed() == labels[field - 1]) {
                mapping.assign(field, headings[column - 1], column);
                break;
            }
        }
    }
    return mapping;
}

std::optional<ImportMapping> ImportMapping::parse(ImportKind kind, const QString& text, const QStringList& headings,
                                                  QString* error)
{
    const auto refuse = [error](const QString& reason) -> std::optional<ImportMapping> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    const QStringList& labels = importFieldLabels(kind);
    // Fields the text does not name keep the column of the same heading, so only the
    // columns headed differently need naming.
    ImportMapping mapping = fromHeadings(kind, headings);
    QVector<bool> named(labels.size());
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QString item = part.trimmed();
        if (item.isEmpty())
            continue;
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        if (equals < 0)
            return refuse(QStringLiteral("「%1」は「項目=列」の形ではありません。").arg(item));
        const QString label = item.left(equals).trimmed();
        const QString column = item.mid(equals + 1).trimmed();
        const qsizetype field = labels.indexOf(label) + 1;
        if (field == 0)
            return refuse(QStringLiteral("「%1」という項目はありません。項目は %2 のいずれかです。")
                              .arg(label, labels.join(QStringLiteral("、"))));
        if (named[field - 1])
            return refuse(QStringLiteral("項目「%1」が二度指定されています。").arg(label));
        named[field - 1] = true;
        if (column.isEmpty()) { // "備考=": the field is left empty
            mapping.clear(static_cast<int>(field));
            continue;
        }
        qsizetype number = 0;
        for (qsizetype i = 0; i < headings.size() && number == 0; ++i) {
            if (headings[i].trimmed() == column)
                number = i + 1;
        }
        if (number == 0) {
            bool ok = false;
            const int position = column.startsWith(QLatin1Char('#')) ? column.mid(1).toInt(&ok) : 0;
            if (!ok)
                return refuse(QStringLiteral("見出し「%1」はファイルにありません。").arg(column));
            if (position < 1 || position > headings.size())
                return refuse(
                    QStringLiteral("%1 列目はありません（ファイルは %2 列です）。").arg(position).arg(headings.size()));
            number = position;
        }
        mapping.assign(static_cast<int>(field), headings[number - 1], static_cast<int>(number));
    }
    if (!mapping.isAssigned(nameField(kind)))
        return refuse(QStringLiteral("品名の項目が設定されていません。"));
    return mapping;
}
