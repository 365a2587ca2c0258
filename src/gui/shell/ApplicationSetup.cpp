// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/shell/ApplicationSetup.h"

#include "core/app/BuiltinPicture.h"
#include "core/app/Version.h"
#include "core/store/FileOps.h"
#include "gui/widgets/InputMethodGuard.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

void setUpApplication(QApplication& app)
{
    FileOps::letOversizedWritesFail();
    QApplication::setApplicationName(QStringLiteral("Kotrina"));
    QApplication::setApplicationVersion(QStringLiteral(KOTRINA_VERSION));
    // The desktop matches the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("kotrina"));
    QApplication::setWindowIcon(programIcon(QCoreApplication::applicationDirPath()));
    BuiltinPicture::installFontSubstitutions();
    InputMethodGuard::install();
    // The program speaks Japanese whatever the system's language, and so do Qt's dialogs.
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

QIcon programIcon(const QString& programDir)
{
    const QString beside = QDir::cleanPath(programDir + QStringLiteral("/../share/icons"));
    QStringList paths = QIcon::themeSearchPaths();
    if (QFileInfo(beside).isDir() && !paths.contains(beside)) {
        paths.prepend(beside);
        QIcon::setThemeSearchPaths(paths);
    }
    return QIcon::fromTheme(QStringLiteral("kotrina"));
}
