// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Prompter.h"

#include <optional>

class Settings;

// The kinds of file whose dialogs open in the folder the user last chose a file of that
// kind in; each kind keeps its own folder in the settings (section "Folders").
enum class FileFolder
{
    Pdf, // PDF files the print dialogs save
    ImportLines, // files of counted lines to import
    ImportProducts, // files of products to import
    Export, // workbooks the summary list and the product list write
};

// The open or save dialog of request, through prompter. It starts in the folder last used
// for kind when the request names none and that folder is still there; the folder of the
// file chosen is kept for the next time. nullopt when the user cancels.
std::optional<QString> openFileIn(FileFolder kind, Settings& settings, Prompter& prompter, FileDialogRequest request);
std::optional<QString> saveFileIn(FileFolder kind, Settings& settings, Prompter& prompter, FileDialogRequest request);
