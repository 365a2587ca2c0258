// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/serve/QrCode.h"

#include <qrencode.h>

QrCode QrCode::encode(const QString& text)
{
    QrCode code;
    const QByteArray bytes = text.toUtf8();
    QRcode* encoded = QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M);
    if (!encoded)
        return code;
    code.m_size = encoded->width;
    code.m_modules.resize(qsizetype(encoded->width) * encoded->width);
    // The lowest bit of each byte is the module's colour; the others say what part it is of.
    for (qsizetype i = 0; i < code.m_modules.size(); ++i)
        code.m_modules[i] = char(encoded->data[i] & 1);
    QRcode_free(encoded);
    return code;
}
