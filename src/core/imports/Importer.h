// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/imports/ImportMapping.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class Database;

// A record the import refused: the line the record starts on in the file (the heading
// is line 1) and the reason in Japanese.
struct ImportProblem
{
    qint64 line = 0;
    QString reason;
};

// What a look at the whole file before importing finds: how many records follow the
// heading and whether the last one names a product (the dialogs' consistency test).
// A file without a record after its heading (no heading either, or no text at all) is
// not readable, with noRecordsMessage() as its error.
struct ImportSurvey
{
    bool readable = false;
    QString error;
    qint64 records = 0;
    bool lastRecordHasName = false;
};

struct ImportOutcome
{
    enum class Status
    {
        Done, // everything written, counts below are what was written
        Refused, // bad records: nothing written, problems say which
        Cancelled, // stopped by the user: nothing written
        Failed // the file, the disk or the database failed: nothing written
    };
    Status status = Status::Failed;
    qint64 linesAdded = 0;
    qint64 categoriesAdded = 0;
    qint64 productsAdded = 0;
    QList<ImportProblem> problems; // the first ten bad records
    qint64 moreProblems = 0; // how many more there were
    QString failure; // the cause, for Failed

    // "行 N: 理由" for each problem, then how many more; the cause for Failed.
    QString details() const;
};

// The first line of the message of a run that failed. Every import writes all of its
// records or none, so a failed run has changed nothing, and the message says that.
QString importFailedMessage(ImportKind kind);

// Why a file with no record after its heading line (or no line at all) imports nothing;
// the imports stop on it with this message, as on a bad record.
QString noRecordsMessage();

// Called with the records done and the records in all, at most every 50 ms; returning
// false stops the import with nothing written. The file is read once, so the records in
// all are reckoned from the share of the file read so far until the last call, made when
// every record is done, gives the exact count.
using ImportProgress = std::function<bool(qint64 done, qint64 total)>;

// Whether the settlement date already has counted lines; nullopt when they cannot be read,
// with the engine's error text in error.
std::optional<bool> linesExistOn(const Database& db, const QDate& date, QString* error = nullptr);

ImportSurvey surveyImportFile(const QString& path, const ImportMapping& mapping);

// Counted lines for the settlement date. The whole file is checked and written in one
// transaction: any bad record, a failure or a cancel leaves the database as it was.
// Categories and products named in the file that are not yet known are registered once.
ImportOutcome importLines(Database& db, const QString& path, const QDate& date, const ImportMapping& mapping,
                          const ImportProgress& progress = {});

// Products; records without a name are skipped. updateExisting: known products get the
// file's unit and price, and the codes of the file after their own. The JANコード field
// holds any number of codes separated by "," or ";": a code that is not valid or belongs
// to another product refuses its record.
ImportOutcome importProducts(Database& db, const QString& path, const ImportMapping& mapping, bool updateExisting,
                             const ImportProgress& progress = {});
