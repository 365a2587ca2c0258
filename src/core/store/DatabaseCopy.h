// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/store/Progress.h"

#include <QList>
#include <QString>
#include <utility>

// Moving a whole business from one database to another: a file to a server, a server to a
// file, a file to another file. Every table goes over with every row and ID as it is — the
// lines, the three masters, the products' codes, the change history with its seals, the
// finalised dates with their stored PDFs — so the copy checks, prints and verifies as the
// original does.
namespace DatabaseCopy {

struct Result
{
    enum class Status
    {
        Copied,
        SourceFailed, // the source cannot be opened or read
        TargetNotEmpty, // the target holds a business already; nothing was written
        TargetFailed, // the target cannot be opened, made or written; nothing was left behind
        Cancelled, // stopped through the progress; nothing was written
    };
    Status status = Status::SourceFailed;
    // What went wrong, in the words the user reads (empty when copied).
    QString message;
    // The rows copied, table by table, in the order they were written.
    QList<std::pair<QString, qint64>> tables;
    bool copied() const { return status == Status::Copied; }
};

// Whether the database named by target may take a copy: a file that does not exist yet, or
// a database of ours that holds no line, no master row but the reserved category, no code
// and no history. Empty when it may, else why not (in the user's words).
QString refusalOf(const QString& target);

// Copies the database named by source (a file path or a server URI) into target (likewise).
// The source is opened as the program opens it: a file of an older schema version is
// brought up to date first. A target file that does not exist yet is made beside its place
// and put there only when complete; an existing target gets everything in one transaction.
// Either way a failure, a cancel or a killed process leaves nothing half-copied. progress
// is told the rows written of all rows to write and may stop it.
Result copy(const QString& source, const QString& target, const ProgressStep& progress = {});

} // namespace DatabaseCopy
