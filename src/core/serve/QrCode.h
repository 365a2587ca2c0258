// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QByteArray>
#include <QString>

// A QR code (libqrencode) as a square of modules, for the screen to draw: the pairing URL a
// phone's camera reads.
class QrCode
{
public:
    // Error correction M (15 %): a code on a screen is read whole or not at all, and a lower
    // level keeps the modules large. Empty when the text cannot be encoded.
    static QrCode encode(const QString& text);

    bool isEmpty() const { return m_size == 0; }
    int size() const { return m_size; } // modules on a side, without the quiet zone
    bool dark(int x, int y) const { return m_modules.at(y * m_size + x) != 0; }

    // Modules of white around the code that a reader needs.
    static constexpr int QuietZone = 4;

private:
    int m_size = 0;
    QByteArray m_modules;
};
