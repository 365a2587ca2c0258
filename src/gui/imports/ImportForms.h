// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/FileFolders.h"
#include "core/app/Prompter.h"
#include "core/imports/ImportMapping.h"

#include <QString>
#include <QStringList>

class Paths;

// What tells the two imports' dialogs apart: their names, captions, help and messages.
// The dialogs themselves are one implementation each, given one of these.
struct ImportForm
{
    ImportKind kind;
    const char* runName; // the file and run dialog
    const char* columnsName; // the column assignment dialog
    QString runCaption;
    QString columnsCaption;
    QString gridHeading; // the first column of the assignment grid
    QStringList columnsHelp;
    QString failure; // the first line of every failed run's message
    QString success;
    bool hasDate; // lines are filed under a settlement date
    bool hasUpdateChoice; // products already known may take the file's unit and price
};

const ImportForm& importForm(ImportKind kind);

// The file dialog both dialogs choose an import file with, and the folder it starts in
// for each kind.
FileDialogRequest importFileRequest();
FileFolder importFolder(ImportKind kind);

// The help both run dialogs show.
QStringList importRunHelp();

// The assignment file of the kind, in the data directory.
QString mappingPath(const Paths& paths, ImportKind kind);
