// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/Settings.h"

namespace {

struct Entry
{
    Setting setting;
    const char* section;
    const char* key;
};

constexpr Entry Entries[] = {
    { Setting::MDBFileName, "Settings", "MDBFileName" },
    { Setting::FDate, "Settings", "FDate" },
    { Setting::MainLeft, "Settings", "MainLeft" },
    { Setting::MainTop, "Settings", "MainTop" },
    { Setting::frmLeft, "Settings", "frmLeft" },
    { Setting::frmTop, "Settings", "frmTop" },
    { Setting::PictureFile, "Settings", "PictureFile" },
    { Setting::DialogOutCombo1, "Settings", "DialogOutCombo1" },
    { Setting::PrinterName, "Printer", "PrinterName" },
    { Setting::PrinterFont, "Printer", "PrinterFont" },
    { Setting::stOffsetX, "Printer", "stOffsetX" },
    { Setting::stOffsetY, "Printer", "stOffsetY" },
    { Setting::SupportURL, "Settings", "SupportURL" },
    { Setting::UpdateURL, "Settings", "UpdateURL" },
    { Setting::PhoneCertificate, "Settings", "PhoneCertificate" },
    { Setting::PhoneKey, "Settings", "PhoneKey" },
};

const Entry& entry(Setting setting)
{
    return Entries[static_cast<int>(setting)];
}

QString path(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

Settings::Settings(const QString& fileName, const Clock& clock)
    : m_store(fileName, QSettings::IniFormat)
    , m_clock(clock)
{
    static_assert(std::size(Entries) == static_cast<int>(Setting::PhoneKey) + 1);
}

QString Settings::read(const QString& section, const QString& key, const QString& defaultValue) const
{
    // Read as text: QSettings would turn an unquoted "a,b" into a list.
    return m_store.value(path(section, key), defaultValue).toString();
}

void Settings::write(const QString& section, const QString& key, const QString& value)
{
    m_store.setValue(path(section, key), value);
}

QString Settings::section(Setting setting)
{
    return QString::fromLatin1(entry(setting).section);
}

QString Settings::key(Setting setting)
{
    return QString::fromLatin1(entry(setting).key);
}

QString Settings::defaultValue(Setting setting) const
{
    switch (setting) {
    case Setting::FDate:
        return DateText::toText(m_clock.today());
    case Setting::MainLeft:
    case Setting::MainTop:
    case Setting::frmLeft:
    case Setting::frmTop:
    case Setting::stOffsetX:
    case Setting::stOffsetY:
        return QStringLiteral("0");
    case Setting::DialogOutCombo1:
        return QStringLiteral("A４　オリジナル棚卸表");
    case Setting::PrinterFont:
        return QStringLiteral("ＭＳ 明朝");
    case Setting::MDBFileName:
    case Setting::PictureFile:
    case Setting::PrinterName:
    // The support and update pages are those of whoever looks after the installation; the
    // program has none of its own.
    case Setting::SupportURL:
    case Setting::UpdateURL:
    case Setting::PhoneCertificate:
    case Setting::PhoneKey:
        break;
    }
    return {};
}

QString Settings::value(Setting setting) const
{
    const QString text = read(section(setting), key(setting), defaultValue(setting));
    if (setting == Setting::PrinterFont && text.isEmpty())
        return defaultValue(setting);
    return text;
}

void Settings::setValue(Setting setting, const QString& value)
{
    write(section(setting), key(setting), value);
}

bool Settings::sync()
{
    m_store.sync();
    return m_store.status() == QSettings::NoError;
}

int Settings::number(Setting setting) const
{
    return toNumber(value(setting)).value_or(toNumber(defaultValue(setting)).value_or(0));
}

std::optional<int> Settings::toNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}
