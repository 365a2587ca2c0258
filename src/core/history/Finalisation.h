// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/history/ChangeHistory.h"
#include "core/printing/StocktakingSheet.h"
#include "core/store/Database.h"
#include "core/store/HistoryTrail.h"
#include "core/store/Progress.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Finalising a stocktaking (棚卸の確定): the stocktaking sheet of a date printed to PDF and
// kept in the file (棚卸確定) with its SHA-256, the line count, the total and a SHA-256 over
// the date's lines, and the date locked: the file's triggers refuse every change to its lines
// from any program, and the program's own functions refuse first with refusal() naming the
// date and the time of finalising. Undoing unlocks and is recorded with its reason; the PDF
// stays. Finalising again stores a new PDF beside the earlier ones.
namespace Finalisation {

using HistoryTrail::DateLock;

// A finalisation as kept (without its PDF's bytes).
struct Record
{
    qint64 id = 0; // 番号 of 棚卸確定
    QDate date;
    QDateTime finalisedAt;
    QString station;
    QString layoutName; // the layout's name as the print dialog offers it
    qint64 lineCount = 0;
    double total = 0;
    QString linesHash; // SHA-256 (hex) of linesText()
    QString pdfHash; // SHA-256 (hex) of the PDF as stored
    qint64 pdfSize = 0;
    qint64 historyNumber = 0; // the history entry 確定 it wrote
    std::optional<QDateTime> undoneAt; // set once undone
    QString undoReason;
    QString undoStation;

    bool active() const { return !undoneAt.has_value(); }
};

// The lock of date when it is finalised now (nullopt when not).
std::optional<DateLock> lockOf(const Database& db, QDate date);
// "2026/03/31 の棚卸は 2026/04/10 15:30:12 に確定されています。変更するには確定を取り消してください。"
QString refusal(const DateLock& lock);

// Every finalisation of date, oldest first, undone ones included. nullopt when unreadable.
std::optional<QList<Record>> records(const Database& db, QDate date);
// The latest finalisation of date (undone or not); nullopt when there is none or unreadable.
std::optional<Record> latest(const Database& db, QDate date);

// The canonical text of the date's lines the lines' hash is taken over: one line of text per
// line in ID order, every column but 区分調整 (the working mark of the checks), each value
// tagged with its type (N null, I integer, R real in 17 digits, T text), separated by tabs.
// nullopt when unreadable.
std::optional<QString> linesText(const Database& db, QDate date);
// SHA-256 (hex) of linesText() in UTF-8.
std::optional<QString> linesHash(const Database& db, QDate date);

struct Options
{
    StocktakingSheet::Layout layout = StocktakingSheet::Layout::Original;
    QString fontFamily; // the printer font
    double offsetX = 0; // the continuous form's shift, mm
    double offsetY = 0;
};

struct Outcome
{
    enum class Status
    {
        Done,
        AlreadyFinalised, // the date is locked already; nothing written
        NoLines, // "該当する棚卸はありません。…"
        MissingCategory, // lines whose category is not registered (count in lines); nothing written
        MissingPrice, // lines without a price (価格 empty or 単価 0); nothing written
        TotalsDisagree, // the printed total is not the date's total; nothing written
        Cancelled, // stopped through the progress; nothing written
        Failed, // the file or the PDF could not be written; message says why
    };
    Status status = Status::Failed;
    QString message; // Japanese, for a message box or standard error; for Done what was stored
    qint64 lines = 0; // for MissingCategory / MissingPrice: how many
    std::optional<Record> record; // for Done
};

// Checks the date as printing does (lines there, every category registered, every line with a
// price), prints the stocktaking sheet in options' layout to a PDF (all categories; progress
// is told pages done of pages, and may stop it), and in one transaction stores the PDF with
// its SHA-256, the line count, the total, the lines' hash and the time, and locks the date.
// Nothing is written unless all of that succeeds. The file must be open read-write.
Outcome finalise(const Database& db, QDate date, const Options& options, const ProgressStep& progress = {});

// Undoes the active finalisation of date with the reason the user typed (required: an empty
// one is refused with "取消の理由を入力してください。"), recorded in the history as 確定の取消.
// The stored PDFs stay. False with a Japanese message in error when the date is not finalised
// or the file cannot be written.
bool undo(const Database& db, QDate date, const QString& reason, QString* error = nullptr);

struct Verification
{
    enum class Status
    {
        Unchanged = 0,
        Changed = 1,
        CannotTell = 2, // never finalised, or the file cannot be read
    };
    Status status = Status::CannotTell;
    std::optional<Record> record; // the finalisation compared with (the latest)
    bool linesChanged = false; // the lines' hash differs from the stored one
    bool pdfChanged = false; // the stored PDF's hash differs from the recorded one
    bool historyBroken = false; // a sealed history row was altered or removed
    QList<ChangeHistory::Entry> changes; // the date's line entries written after finalising
    QStringList findings; // Japanese lines saying each of the above, for the report
};

// Compares the date's lines and the stored PDF with what was recorded at its latest
// finalisation, and checks the seals of the whole history. Only reads.
Verification verify(const Database& db, QDate date);

// The stored PDF of a finalisation (by Record::id) written to path byte for byte (beside it
// first, renamed over it when complete). False with a Japanese message in error.
bool writePdf(const Database& db, qint64 recordId, const QString& path, QString* error = nullptr);
// The stored PDF's bytes; nullopt when there is none or unreadable.
std::optional<QByteArray> pdf(const Database& db, qint64 recordId);

} // namespace Finalisation
