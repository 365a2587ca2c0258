// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/export/SheetWriter.h"

#include "core/store/FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// The writer keeps the rows in temporary files and does not report a failed write to
// them; the failure shows only in errno, which a write that fails sets.
bool isWriteFailure(int code)
{
    return code == ENOSPC || code == EDQUOT || code == EFBIG || code == EIO;
}

} // namespace

SheetWriter::SheetWriter(const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath())
{ }

SheetWriter::~SheetWriter()
{
    if (m_book)
        workbook_close(m_book);
    if (!m_temp.isEmpty())
        QFile::remove(m_temp);
}

bool SheetWriter::failed(QString* error, int code)
{
    if (error) {
        const QString folder = QDir::toNativeSeparators(QFileInfo(m_target).absolutePath());
        const QStorageInfo disk(folder);
        if (!m_problem.isEmpty())
            *error = m_problem;
        else if (code == EACCES || code == EPERM || code == EROFS || code == ENOENT || code == ENOTDIR)
            *error = QStringLiteral("保存先のフォルダーがないか、書き込めないため、ファイルを保存できませんでした。\r")
                + folder;
        else if (code == ENOSPC || code == EDQUOT
                 || ((code == 0 || code == EIO) && disk.isValid() && !disk.isReadOnly() && disk.bytesAvailable() == 0))
            *error = QStringLiteral("ディスクの空き容量が足りないため、ファイルを保存できませんでした。\r") + folder;
        else
            *error = QStringLiteral("ファイルを保存できませんでした。\r%1\r(%2)")
                         .arg(QDir::toNativeSeparators(m_target),
                              QString::fromLocal8Bit(std::strerror(code ? code : EIO)));
    }
    if (m_book) {
        workbook_close(m_book);
        m_book = nullptr;
    }
    if (!m_temp.isEmpty())
        QFile::remove(m_temp);
    m_temp.clear();
    return false;
}

bool SheetWriter::begin(const QList<Column>& columns, QString* error)
{
    m_columns = columns;
    // The temporary file is made here, so a folder that cannot be written is told before
    // any row is read; the writer opens it again when it puts the workbook together.
    m_temp = FileOps::temporaryPathFor(m_target);
    const int fd = ::open(QFile::encodeName(m_temp).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int code = errno;
        m_temp.clear();
        return failed(error, code);
    }
    ::close(fd);

    const QByteArray folder = QFile::encodeName(QFileInfo(m_target).absolutePath());
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder.constData());
    m_book = workbook_new_opt(QFile::encodeName(m_temp).constData(), &options);
    m_sheet = m_book ? workbook_add_worksheet(m_book, "Sheet1") : nullptr;
    if (!m_sheet)
        return failed(error, errno);
    m_row = 0;
    QVariantList headings;
    for (const Column& c : columns)
        headings << c.heading; // texts, so written as such in every column
    addRow(headings);
    return m_writeError == 0 || failed(error, m_writeError);
}

void SheetWriter::addRow(const QVariantList& values)
{
    if (!m_sheet || m_writeError)
        return;
    errno = 0;
    for (qsizetype c = 0; c < values.size() && c < m_columns.size(); ++c) {
        const QVariant& value = values[c];
        if (value.isNull())
            continue;
        const auto column = lxw_col_t(c);
        lxw_error result;
        if (m_columns[c].kind == Kind::Number && isNumber(value)) {
            result = worksheet_write_number(m_sheet, m_row, column, value.toDouble(), nullptr);
        } else {
            const QByteArray text = value.toString().toUtf8();
            result = worksheet_write_string(m_sheet, m_row, column, text.constData(), nullptr);
        }
        if (result == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED) {
            m_problem = QStringLiteral("%1 行目の文字列は長すぎて、1 つのセルに入りません（32,767 文字まで）。")
                            .arg(m_row + 1);
            m_writeError = EINVAL;
            return;
        }
        if (result != LXW_NO_ERROR || isWriteFailure(errno)) {
            m_writeError = errno ? errno : EIO;
            return;
        }
    }
    ++m_row;
}

bool SheetWriter::finish(QString* error)
{
    if (!m_book)
        return false;
    if (m_writeError)
        return failed(error, m_writeError);
    errno = 0;
    const lxw_error result = workbook_close(m_book);
    const int code = errno;
    m_book = nullptr;
    m_sheet = nullptr;
    if (result != LXW_NO_ERROR || isWriteFailure(code))
        return failed(error, code);
    if (!FileOps::replaceWith(m_temp, m_target))
        return failed(error, errno);
    m_temp.clear();
    return true;
}
