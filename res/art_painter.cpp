#include "res/art_painter.h"

#include "platform/version.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>

namespace res {

namespace {

const QColor kDeepBlue(0x17, 0x44, 0x70);
const QColor kMidBlue(0x2a, 0x6f, 0xb0);
const QColor kSkyBlue(0x4f, 0x9b, 0xdc);
const QColor kGold(0xf2, 0xc1, 0x4e);
const QColor kMendGreen(0x3b, 0xa8, 0x5c);
const QColor kPaper(0xf5, 0xf8, 0xfc);
const QColor kMist(0xdc, 0xe7, 0xf2);

const QString kProductName = QStringLiteral("Kelvane for Zip");

QFont TitleFont(qreal pixelSize, int weight = QFont::Bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(pixelSize)));
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// A zipped archive with a green mending badge: the archive made whole again.
void PaintEmblem(QPainter& painter, const QRectF& box, qreal opacity = 1.0) {
    painter.save();
    painter.setOpacity(opacity);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = std::min(box.width(), box.height());
    const QRectF body(box.left() + s * 0.08, box.top() + s * 0.06, s * 0.74, s * 0.84);
    const qreal radius = s * 0.12;

    QLinearGradient fill(body.topLeft(), body.bottomRight());
    fill.setColorAt(0, kSkyBlue);
    fill.setColorAt(1, kDeepBlue);
    painter.setPen(QPen(kDeepBlue.darker(130), std::max(1.0, s * 0.02)));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, radius, radius);

    // Zipper: a column of alternating teeth down the middle, and its pull.
    const qreal toothW = body.width() * 0.16;
    const qreal toothH = body.height() * 0.065;
    const qreal centre = body.center().x();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGold);
    int teeth = 0;
    for (qreal y = body.top() + toothH * 0.6; y < body.top() + body.height() * 0.58;
         y += toothH * 1.2, ++teeth) {
        const qreal x = (teeth % 2 == 0) ? centre - toothW : centre;
        painter.drawRect(QRectF(x, y, toothW, toothH));
    }
    const QRectF pull(centre - toothW * 0.9, body.top() + body.height() * 0.6, toothW * 1.8,
                      body.height() * 0.2);
    painter.setBrush(kGold.lighter(110));
    painter.setPen(QPen(kGold.darker(150), std::max(1.0, s * 0.015)));
    painter.drawRoundedRect(pull, toothW * 0.4, toothW * 0.4);

    // Mending badge with a tick.
    const qreal badge = s * 0.42;
    const QRectF circle(box.left() + s - badge - s * 0.02, box.top() + s - badge - s * 0.02, badge,
                        badge);
    QRadialGradient glow(circle.center(), badge * 0.6,
                         circle.topLeft() + QPointF(badge * 0.3, badge * 0.3));
    glow.setColorAt(0, kMendGreen.lighter(135));
    glow.setColorAt(1, kMendGreen);
    painter.setPen(QPen(Qt::white, std::max(1.0, s * 0.03)));
    painter.setBrush(glow);
    painter.drawEllipse(circle);
    QPainterPath tick;
    tick.moveTo(circle.left() + badge * 0.27, circle.top() + badge * 0.52);
    tick.lineTo(circle.left() + badge * 0.44, circle.top() + badge * 0.68);
    tick.lineTo(circle.left() + badge * 0.74, circle.top() + badge * 0.34);
    painter.setPen(
        QPen(Qt::white, std::max(1.2, s * 0.055), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
    painter.restore();
}

void PaintCalmGradient(QPainter& painter, const QRect& area, const QColor& top,
                       const QColor& bottom) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(area, gradient);
    // A soft light sweep from the upper left keeps large areas from looking flat.
    QRadialGradient sweep(area.topLeft(), std::max(area.width(), area.height()) * 0.9);
    sweep.setColorAt(0, QColor(255, 255, 255, 90));
    sweep.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(area, sweep);
}

} // namespace

QImage MakeEmblem(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintEmblem(painter, QRectF(0, 0, size, size));
    return image;
}

QImage MakeMainSkin(QSize size, int bannerHeight) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintCalmGradient(painter, image.rect(), kPaper, kMist);

    // The banner: a deep blue band with a gentle wave along its lower edge.
    QPainterPath band;
    band.moveTo(0, 0);
    band.lineTo(size.width(), 0);
    band.lineTo(size.width(), bannerHeight * 0.78);
    band.cubicTo(size.width() * 0.7, bannerHeight * 1.08, size.width() * 0.35, bannerHeight * 0.7,
                 0, bannerHeight);
    band.closeSubpath();
    QLinearGradient blue(0, 0, size.width(), 0);
    blue.setColorAt(0, kDeepBlue);
    blue.setColorAt(1, kMidBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawPath(band);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 70), 2));
    painter.drawPath(band);

    const int emblem = static_cast<int>(bannerHeight * 0.78);
    PaintEmblem(painter, QRectF(14, (bannerHeight * 0.85 - emblem) / 2 + 1, emblem, emblem));
    painter.setPen(Qt::white);
    painter.setFont(TitleFont(bannerHeight * 0.42));
    const int textLeft = 14 + emblem + 12;
    painter.drawText(QRect(textLeft, 0, size.width() / 2, static_cast<int>(bannerHeight * 0.58)),
                     Qt::AlignLeft | Qt::AlignBottom, kProductName);
    painter.setPen(QColor(0xd6, 0xe6, 0xf5));
    painter.setFont(TitleFont(bannerHeight * 0.2, QFont::Normal));
    painter.drawText(QRect(textLeft + 2, static_cast<int>(bannerHeight * 0.58), size.width() / 2,
                           static_cast<int>(bannerHeight * 0.3)),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Salvage the files of damaged ZIP archives"));

    // A faint emblem in the lower right corner, well below the text's contrast.
    const int mark = std::min(size.width(), size.height()) / 3;
    PaintEmblem(painter, QRectF(size.width() - mark * 1.1, size.height() - mark * 1.25, mark, mark),
                0.06);
    return image;
}

QImage MakeSecondarySkin(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintCalmGradient(painter, image.rect(), kPaper, kMist.darker(103));
    QLinearGradient accent(0, 0, size.width(), 0);
    accent.setColorAt(0, kDeepBlue);
    accent.setColorAt(1, kSkyBlue);
    painter.fillRect(QRect(0, 0, size.width(), 3), accent);

    const int mark = size.height() / 2;
    PaintEmblem(painter, QRectF(size.width() - mark * 1.15, size.height() - mark * 1.2, mark, mark),
                0.07);
    painter.setPen(QColor(kDeepBlue.red(), kDeepBlue.green(), kDeepBlue.blue(), 60));
    painter.setFont(TitleFont(std::max(11, size.height() / 18)));
    painter.drawText(image.rect().adjusted(0, 0, -12, -6), Qt::AlignRight | Qt::AlignBottom,
                     kProductName);
    return image;
}

QImage MakeSplash(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, size.width(), size.height());
    fill.setColorAt(0, kMidBlue);
    fill.setColorAt(1, kDeepBlue.darker(120));
    painter.fillRect(image.rect(), fill);

    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient halo(QPointF(size.width() * 0.25, size.height() * 0.45), size.height() * 0.6);
    halo.setColorAt(0, QColor(255, 255, 255, 60));
    halo.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(image.rect(), halo);

    const int emblem = size.height() * 45 / 100;
    const QRectF emblemBox(size.width() * 0.08,
                           (size.height() - emblem) / 2.0 - size.height() * 0.05, emblem, emblem);
    PaintEmblem(painter, emblemBox);
    const int textLeft = static_cast<int>(emblemBox.right() + size.width() * 0.06);
    const QRect textArea(textLeft, 0, size.width() - textLeft - 16, size.height());
    painter.setPen(Qt::white);
    painter.setFont(TitleFont(size.height() * 0.13));
    painter.drawText(textArea.adjusted(0, 0, 0, -size.height() * 55 / 100),
                     Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Kelvane"));
    painter.setFont(TitleFont(size.height() * 0.085, QFont::Normal));
    painter.drawText(textArea.adjusted(0, size.height() * 45 / 100, 0, -size.height() * 40 / 100),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("for Zip"));
    painter.setPen(QColor(0xc9, 0xde, 0xf2));
    painter.setFont(TitleFont(size.height() * 0.05, QFont::Normal));
    painter.drawText(textArea.adjusted(0, size.height() * 62 / 100, 0, -size.height() * 26 / 100),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Archive salvage  \u00b7  Version " KVZIP_VERSION));
    painter.setPen(QPen(QColor(255, 255, 255, 140), 2));
    const int lineY = size.height() * 80 / 100;
    painter.drawLine(textLeft, lineY, size.width() - 28, lineY);
    painter.setPen(QPen(kGold, 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(textLeft, lineY, textLeft + (size.width() - 28 - textLeft) * 2 / 5, lineY);
    painter.end();

    // The outline is cut without smoothing: a blended edge pixel would be
    // neither the key colour nor the picture and would show as a fringe.
    QImage mask(size, QImage::Format_RGB32);
    mask.fill(Qt::black);
    QPainter maskPainter(&mask);
    const qreal radius = size.height() * 0.14;
    maskPainter.setPen(Qt::NoPen);
    maskPainter.setBrush(Qt::white);
    maskPainter.drawRoundedRect(QRectF(0, 0, size.width(), size.height()), radius, radius);
    maskPainter.end();
    const QRgb key = kSplashKeyColour.rgb();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* inside = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        for (int x = 0; x < size.width(); ++x)
            if (qRed(inside[x]) < 128)
                line[x] = key;
    }
    return image;
}

QImage MakePromptPicture(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = std::min(size.width(), size.height());
    // A folder that is already there, and a question badge over it.
    const QColor folder(0xf0, 0xb8, 0x3c);
    const QRectF back(s * 0.06, s * 0.2, s * 0.78, s * 0.6);
    painter.setPen(QPen(folder.darker(150), std::max(1.0, s * 0.025)));
    painter.setBrush(folder.darker(112));
    QPainterPath tab;
    tab.moveTo(back.left(), back.top() + s * 0.06);
    tab.lineTo(back.left(), back.top() - s * 0.06);
    tab.lineTo(back.left() + s * 0.28, back.top() - s * 0.06);
    tab.lineTo(back.left() + s * 0.34, back.top());
    tab.lineTo(back.right(), back.top());
    tab.lineTo(back.right(), back.bottom());
    tab.lineTo(back.left(), back.bottom());
    tab.closeSubpath();
    painter.drawPath(tab);
    QLinearGradient front(0, back.top() + s * 0.1, 0, back.bottom());
    front.setColorAt(0, folder.lighter(125));
    front.setColorAt(1, folder);
    painter.setBrush(front);
    painter.drawRoundedRect(
        QRectF(back.left(), back.top() + s * 0.12, back.width(), back.height() - s * 0.12),
        s * 0.04, s * 0.04);

    const qreal badge = s * 0.44;
    const QRectF circle(s - badge - s * 0.02, s - badge - s * 0.02, badge, badge);
    painter.setPen(QPen(Qt::white, std::max(1.0, s * 0.03)));
    painter.setBrush(kMidBlue);
    painter.drawEllipse(circle);
    painter.setPen(Qt::white);
    painter.setFont(TitleFont(badge * 0.72));
    painter.drawText(circle, Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

} // namespace res
