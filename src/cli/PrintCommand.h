// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "cli/Command.h"
#include "core/printing/PageSurface.h"
#include "core/printing/SheetLayout.h"

#include <QTemporaryDir>

// What the print verbs share: the printer font (--font, else the setting of this user) and
// the output, either a PDF file (--pdf) or a CUPS queue (--printer) that gets the same pages
// made into a PDF file aside.
class PrintCommand : public Command
{
public:
    PrintCommand(QTextStream& out, QTextStream& err, QString verb, QString what);
    bool drawsPages() const override { return true; }

protected:
    QString font(const QCommandLineParser& parser) const;
    // The PDF file to write: the one of --pdf, or one in spool for --printer. nullopt after
    // telling that neither or both were given, or that the printer is unknown.
    std::optional<QString> target(const QCommandLineParser& parser, const QTemporaryDir& spool,
                                  const QString& fileName);
    // How the pages go onto the paper: for --printer, from the printable area of that queue, as
    // the print dialogs place them; a PDF file keeps the whole paper.
    PageSetup pageSetup(const QCommandLineParser& parser) const;
    // The ID of the category option names; nullopt after telling that none has that name.
    std::optional<int> namedCategory(const Database& db, const QCommandLineParser& parser,
                                     const QCommandLineOption& option);
    // Hands the written file to the printer of --printer, if one was given; then tells where
    // the pages went, how many, and what follows on the line (after a "、"). The exit status.
    int deliver(const QCommandLineParser& parser, const QString& file, const QString& jobTitle,
                const SheetPrinted& printed, const QString& more = {});

    const QCommandLineOption m_font;
    const QCommandLineOption m_pdf;
    const QCommandLineOption m_printer;
};
