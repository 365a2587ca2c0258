// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/BuiltinPicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace BuiltinPicture {

QPixmap mainPicture(QSize size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), QSizeF(size));
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0xe8, 0xf1, 0xfa));
    sky.setColorAt(1, QColor(0xc9, 0xdc, 0xee));
    p.fillRect(r, sky);

    // A shelf of boxes being counted.
    const qreal w = r.width(), h = r.height();
    const qreal shelfY[] = { h * 0.42, h * 0.72 };
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8d, 0x6e, 0x4f));
    for (qreal y : shelfY)
        p.drawRoundedRect(QRectF(w * 0.08, y, w * 0.84, h * 0.035), 2, 2);
    const QColor boxColors[] = { QColor(0xd9, 0x9a, 0x4e), QColor(0xe8, 0xb8, 0x6a), QColor(0xc4, 0x83, 0x3c) };
    for (int row = 0; row < 2; ++row) {
        qreal x = w * 0.12;
        for (int i = 0; i < 5; ++i) {
            const qreal bw = w * (0.11 + 0.02 * ((i + row) % 2));
            const qreal bh = h * (0.14 + 0.03 * ((i * 7 + row) % 3));
            p.setBrush(boxColors[(i + row) % 3]);
            p.drawRect(QRectF(x, shelfY[row] - bh, bw, bh));
            p.setBrush(QColor(255, 255, 255, 90));
            p.drawRect(QRectF(x + bw * 0.4, shelfY[row] - bh, bw * 0.2, bh));
            x += bw + w * 0.035;
        }
    }
    // A check mark on the clipboard in the corner.
    const QRectF board(w * 0.74, h * 0.06, w * 0.18, h * 0.24);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x5a, 0x6b, 0x7d), 1.5));
    p.drawRoundedRect(board, 3, 3);
    QPainterPath tick;
    tick.moveTo(board.left() + board.width() * 0.22, board.center().y());
    tick.lineTo(board.left() + board.width() * 0.42, board.bottom() - board.height() * 0.25);
    tick.lineTo(board.right() - board.width() * 0.18, board.top() + board.height() * 0.2);
    p.setPen(QPen(QColor(0x2e, 0x8b, 0x57), qMax<qreal>(2, w / 80), Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);

    QFont title(QStringLiteral("IPAPGothic"));
    title.setPixelSize(qMax(10, int(h * 0.11)));
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0x1f, 0x3b, 0x57));
    p.drawText(QRectF(w * 0.08, h * 0.78, w * 0.84, h * 0.2), Qt::AlignCenter, QStringLiteral("Kotrina 棚卸表"));
    return pixmap;
}

QPixmap decoration(QSize size)
{
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    QLinearGradient band(QPointF(0, 0), QPointF(size.width(), 0));
    band.setColorAt(0, QColor(0x1f, 0x3b, 0x57));
    band.setColorAt(1, QColor(0x9c, 0xbc, 0xd8));
    p.fillRect(pixmap.rect(), band);
    return pixmap;
}

QPixmap tipIcon(QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf6, 0xc9, 0x3c));
    p.drawEllipse(QRectF(w * 0.2, h * 0.08, w * 0.6, h * 0.6));
    p.setBrush(QColor(0x8a, 0x8f, 0x96));
    p.drawRoundedRect(QRectF(w * 0.36, h * 0.66, w * 0.28, h * 0.22), 2, 2);
    return pixmap;
}

namespace {

void installFontSubstitutionsOnce()
{
    // Families after the first are where the toolkit looks, in this order, for a character the
    // face lacks. The IPA faces have no 𠮷 (U+20BB7) and no emoji: the Noto CJK face of the same
    // style has the characters of JIS X 0213, and Symbola has the emoji as outlines, which print
    // on every device (a colour emoji face's bitmaps come out empty in a PDF). Without these the
    // toolkit asks fontconfig, which may give a Mincho sheet a Gothic 𠮷 or a colour emoji face.
    const QString serif = QStringLiteral("Noto Serif CJK JP");
    const QString sans = QStringLiteral("Noto Sans CJK JP");
    const QString emoji = QStringLiteral("Symbola");
    const QString mincho = QStringLiteral("IPAMincho");
    const QString gothic = QStringLiteral("IPAGothic");
    const QList<std::pair<QString, QStringList>> faces {
        // The Windows faces the settings name, with the installed faces they print in.
        { QStringLiteral("ＭＳ 明朝"), { mincho, serif, emoji } },
        { QStringLiteral("ＭＳ Ｐ明朝"), { QStringLiteral("IPAPMincho"), mincho, serif, emoji } },
        { QStringLiteral("ＭＳ ゴシック"), { gothic, sans, emoji } },
        { QStringLiteral("ＭＳ Ｐゴシック"), { QStringLiteral("IPAPGothic"), gothic, sans, emoji } },
        // The Japanese faces a user may choose for the sheets.
        { mincho, { serif, emoji } },
        { QStringLiteral("IPAPMincho"), { serif, emoji } },
        { gothic, { sans, emoji } },
        { QStringLiteral("IPAPGothic"), { sans, emoji } },
        { serif, { emoji } },
        { sans, { emoji } },
        { QStringLiteral("Noto Sans Mono CJK JP"), { sans, emoji } },
    };
    for (const auto& [face, substitutes] : faces)
        QFont::insertSubstitutions(face, substitutes);
}

} // namespace

void installFontSubstitutions()
{
    // Once, from whichever thread draws first.
    static const bool installed = [] {
        installFontSubstitutionsOnce();
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace BuiltinPicture
