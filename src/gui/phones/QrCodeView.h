// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

#include "core/serve/QrCode.h"

#include <QWidget>

// Draws a QR code as whole pixels per module, black on white with its quiet zone, as large
// as the widget allows.
class QrCodeView : public QWidget
{
    Q_OBJECT
public:
    explicit QrCodeView(QWidget* parent = nullptr);
    void setCode(const QrCode& code);
    const QrCode& code() const { return m_code; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QrCode m_code;
};
