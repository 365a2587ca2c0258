// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/entry/ScanSound.h"

#include <QApplication>
#include <alsa/asoundlib.h>
#include <cmath>

namespace {

constexpr unsigned Rate = 22050;

// Tones of frequency hz, each lasting ms and followed by as long a pause but the last,
// as signed 16-bit samples with soft edges (no click).
QByteArray tones(double hz, int ms, int count)
{
    const int length = int(Rate) * ms / 1000;
    const int fade = int(Rate) / 200; // 5 ms
    QByteArray samples;
    for (int t = 0; t < count; ++t) {
        for (int i = 0; i < length; ++i) {
            const double edge = std::min({ 1.0, double(i) / fade, double(length - 1 - i) / fade });
            const auto value = qint16(std::lround(9000 * edge * std::sin(2 * M_PI * hz * i / Rate)));
            samples.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
        if (t + 1 < count)
            samples.append(QByteArray(length * int(sizeof(qint16)), '\0'));
    }
    return samples;
}

// ALSA writes its complaints (no card, no configuration) to standard error; a missing card
// is no error of the program's.
void quiet(const char*, int, const char*, int, const char*, ...) { }

} // namespace

ScanSound::ScanSound(QObject* parent)
    : QObject(parent)
    , m_found(tones(2400, 70, 1))
    , m_refused(tones(330, 140, 2))
{ }

ScanSound::~ScanSound()
{
    if (m_pcm)
        snd_pcm_close(static_cast<snd_pcm_t*>(m_pcm));
}

bool ScanSound::openDevice()
{
    if (m_tried)
        return m_pcm != nullptr;
    m_tried = true;
    snd_lib_error_set_handler(&quiet);
    snd_pcm_t* pcm = nullptr;
    // Never waiting: a device another program holds is no reason to stop counting.
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, Rate, 1, 500000) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    m_pcm = pcm;
    return true;
}

void ScanSound::play(Kind kind)
{
    const QByteArray& samples = kind == Kind::Found ? m_found : m_refused;
    if (openDevice()) {
        auto* pcm = static_cast<snd_pcm_t*>(m_pcm);
        // A scan cuts the sound of the one before short: each is heard from its start.
        snd_pcm_drop(pcm);
        snd_pcm_prepare(pcm);
        const snd_pcm_uframes_t frames = snd_pcm_uframes_t(samples.size()) / sizeof(qint16);
        if (snd_pcm_writei(pcm, samples.constData(), frames) < 0)
            QApplication::beep();
    } else {
        QApplication::beep();
        if (kind == Kind::Refused)
            QApplication::beep();
    }
    Q_EMIT played(kind);
}
