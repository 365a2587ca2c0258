// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/app/Clock.h"

#include <QSettings>
#include <QString>
#include <optional>

// Every value the program keeps between runs. Values are texts; numbers are stored as
// their text form and converted by the reader.
enum class Setting
{
    MDBFileName, // database file to open at start; empty: the template
    FDate, // settlement date shown in the main window
    MainLeft, // main window position, twips
    MainTop,
    frmLeft, // position of the entry, list and correction windows, twips
    frmTop,
    PictureFile, // picture of the main window; empty: the built-in one
    DialogOutCombo1, // last sheet layout of the stocktaking sheet dialog
    PrinterName, // section "Printer": selected printer; empty: the current printer
    PrinterFont, // font of printed sheets; empty also gives the default
    stOffsetX, // print offsets, whole millimetres
    stOffsetY,
    SupportURL, // section "Settings": the online-support page; empty (the default): none
    UpdateURL, // the page the updates are downloaded from; empty (the default): none
    PhoneCertificate, // the counting server's HTTPS certificate (PEM); empty (the default): plain HTTP
    PhoneKey, // its private key (PEM)
};

// The per-user settings store, addressed by section and key like the old per-user
// registry: the application "Kotrina", sections "Settings" and "Printer".
class Settings
{
public:
    Settings(const QString& fileName, const Clock& clock);

    // The generic store: the stored text, or the default when the entry is missing.
    QString read(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    void write(const QString& section, const QString& key, const QString& value);

    // The named entries with their sections and defaults.
    QString value(Setting setting) const;
    void setValue(Setting setting, const QString& value);
    QString defaultValue(Setting setting) const;

    static QString section(Setting setting);
    static QString key(Setting setting);

    // Writes pending changes to disk; false when the file could not be written.
    bool sync();

    // A numeric entry: the stored number, or the entry's own default when the stored text
    // is not a whole number, so one damaged value never stands in the way of the others.
    int number(Setting setting) const;

    // A stored number as the program reads it back: surrounding blanks allowed,
    // nothing else. nullopt when the text is not a whole number.
    static std::optional<int> toNumber(const QString& text);

    QString fileName() const { return m_store.fileName(); }

private:
    QSettings m_store;
    const Clock& m_clock;
};
