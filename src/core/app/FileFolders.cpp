// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/FileFolders.h"

#include "core/app/Settings.h"

#include <QFileInfo>
#include <functional>

namespace {

const QString Section = QStringLiteral("Folders");

QString key(FileFolder kind)
{
    switch (kind) {
    case FileFolder::Pdf:
        return QStringLiteral("Pdf");
    case FileFolder::ImportLines:
        return QStringLiteral("ImportLines");
    case FileFolder::ImportProducts:
        return QStringLiteral("ImportProducts");
    case FileFolder::Export:
        return QStringLiteral("Export");
    }
    return {};
}

std::optional<QString> runIn(FileFolder kind, Settings& settings, FileDialogRequest request,
                             const std::function<std::optional<QString>(const FileDialogRequest&)>& dialog)
{
    if (request.directory.isEmpty()) {
        // A folder removed or renamed since is no place to start: the toolkit's choice is.
        const QString last = settings.read(Section, key(kind));
        if (!last.isEmpty() && QFileInfo(last).isDir())
            request.directory = last;
    }
    const std::optional<QString> chosen = dialog(request);
    if (chosen && !chosen->isEmpty())
        settings.write(Section, key(kind), QFileInfo(*chosen).absolutePath());
    return chosen;
}

} // namespace

std::optional<QString> openFileIn(FileFolder kind, Settings& settings, Prompter& prompter, FileDialogRequest request)
{
    return runIn(kind, settings, std::move(request),
                 [&prompter](const FileDialogRequest& r) { return prompter.openFile(r); });
}

std::optional<QString> saveFileIn(FileFolder kind, Settings& settings, Prompter& prompter, FileDialogRequest request)
{
    return runIn(kind, settings, std::move(request),
                 [&prompter](const FileDialogRequest& r) { return prompter.saveFile(r); });
}
