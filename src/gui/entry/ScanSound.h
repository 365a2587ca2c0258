// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include <QByteArray>
#include <QObject>

// The short sounds of counting with a scanner: a high blip for a code found, a low double
// tone for a code that is not known or not valid, so that the counter hears without looking
// which one it was. They go to the sound card's default device through ALSA without
// waiting for it; a machine without a sound card (or one the program may not use) gets the
// desktop's bell instead, and a machine without either stays silent.
class ScanSound : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        Found,
        Refused,
    };
    explicit ScanSound(QObject* parent = nullptr);
    ~ScanSound() override;

    void play(Kind kind);

Q_SIGNALS:
    // After each sound asked for, heard or not.
    void played(ScanSound::Kind kind);

private:
    bool openDevice();

    void* m_pcm = nullptr; // snd_pcm_t, kept open between scans
    bool m_tried = false;
    QByteArray m_found;
    QByteArray m_refused;
};
