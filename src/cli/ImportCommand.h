// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"
#include "core/imports/Importer.h"

// What the two import verbs share: the data file and column options, the column
// assignment (--map, else the one saved by the import dialogs as long as the file's headings
// are still those it was saved with, else headings equal to the field labels) and the report of a run.
class ImportCommand : public Command
{
public:
    ImportCommand(QTextStream& out, QTextStream& err, QString name, QString description, ImportKind kind);

protected:
    // The data file and its column assignment; nullopt after telling what is wrong.
    std::optional<ImportMapping> mapping(const QCommandLineParser& parser, QString* dataFile);
    // Whether the assignment saved by the dialogs still fits a file with these headings;
    // false after naming each field whose column is headed otherwise than when it was saved.
    bool fitsFile(const ImportMapping& saved, const QStringList& headings);
    // Prints the counts of a good run, or tells why nothing was written; the exit status.
    int report(const ImportOutcome& outcome, const QStringList& counts);

    const ImportKind m_kind;
    const QCommandLineOption m_file;
    const QCommandLineOption m_map;
};

// kotrina import lines FILE.idb --date YYYY-MM-DD --file DATA.txt [--map FIELD=COLUMN,…] [--yes]
class ImportLinesCommand : public ImportCommand
{
public:
    ImportLinesCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_date;
    const QCommandLineOption m_yes;
};

// kotrina import products FILE.idb --file DATA.txt [--map FIELD=COLUMN,…] [--update-existing]
class ImportProductsCommand : public ImportCommand
{
public:
    ImportProductsCommand(QTextStream& out, QTextStream& err);
    int run(const QCommandLineParser& parser) override;

private:
    const QCommandLineOption m_update;
};
