// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "gui/phones/QrCodeView.h"

#include <QPainter>

QrCodeView::QrCodeView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(200, 200);
}

void QrCodeView::setCode(const QrCode& code)
{
    m_code = code;
    update();
}

QSize QrCodeView::sizeHint() const
{
    return { 280, 280 };
}

void QrCodeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_code.isEmpty())
        return;
    const int modules = m_code.size() + 2 * QrCode::QuietZone;
    // Whole pixels per module: a camera reads sharp edges best.
    const int unit = std::max(1, std::min(width(), height()) / modules);
    const int left = (width() - unit * modules) / 2 + unit * QrCode::QuietZone;
    const int top = (height() - unit * modules) / 2 + unit * QrCode::QuietZone;
    for (int y = 0; y < m_code.size(); ++y) {
        for (int x = 0; x < m_code.size(); ++x) {
            if (m_code.dark(x, y))
                painter.fillRect(left + x * unit, top + y * unit, unit, unit, Qt::black);
        }
    }
}
