#include "placeholder_painter.h"

#include <QPainter>
#include <QPainterPath>

namespace quarry::resgen {

namespace {

const QColor frameFill(0xEC, 0xEE, 0xF2);
const QColor frameEdge(0xA4, 0xAA, 0xB3);
const QColor glyph(0x8A, 0x91, 0x9C);
const QColor strike(0x5F, 0x66, 0x70);

void drawPictureGlyph(QPainter& painter, const QRectF& area, qreal stroke) {
    painter.setPen(QPen(glyph, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(area, stroke * 1.5, stroke * 1.5);

    const qreal w = area.width();
    const qreal h = area.height();
    painter.setPen(Qt::NoPen);
    painter.setBrush(glyph);
    painter.drawEllipse(QPointF(area.left() + w * 0.72, area.top() + h * 0.3), w * 0.09, w * 0.09);

    QPainterPath hills;
    hills.moveTo(area.left() + stroke, area.bottom() - stroke);
    hills.lineTo(area.left() + w * 0.36, area.top() + h * 0.42);
    hills.lineTo(area.left() + w * 0.56, area.top() + h * 0.68);
    hills.lineTo(area.left() + w * 0.70, area.top() + h * 0.54);
    hills.lineTo(area.right() - stroke, area.bottom() - stroke);
    hills.closeSubpath();
    painter.drawPath(hills);
}

} // namespace

QImage PlaceholderPainter::paint(int size) const {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal s = size;
    const qreal edge = qMax<qreal>(1.0, s / 40.0);
    const QRectF frame(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    painter.setPen(QPen(frameEdge, edge));
    painter.setBrush(frameFill);
    painter.drawRoundedRect(frame, s * 0.12, s * 0.12);

    const QRectF picture(s * 0.24, s * 0.30, s * 0.52, s * 0.40);
    drawPictureGlyph(painter, picture, qMax<qreal>(1.0, s / 32.0));

    // The stroke gets a halo in the frame colour so it reads as "crossed out"
    // rather than as part of the picture.
    const QLineF slash(s * 0.22, s * 0.22, s * 0.78, s * 0.78);
    painter.setPen(QPen(frameFill, s / 12.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(slash);
    painter.setPen(QPen(strike, s / 24.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(slash);
    return image;
}

} // namespace quarry::resgen
