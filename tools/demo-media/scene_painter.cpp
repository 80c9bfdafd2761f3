#include "scene_painter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>
#include <random>

namespace quarry::demo {

namespace {

// A little sensor noise so the photos compress like photos, not like drawings.
void addGrain(QImage& image, unsigned seed, int amplitude) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-amplitude, amplitude);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = noise(random);
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255),
                           qBound(0, qBlue(p) + n, 255));
        }
    }
}

QImage canvas(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

void fillVertical(QPainter& painter, const QRectF& area, const QColor& top, const QColor& bottom) {
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(area, gradient);
}

QPainterPath ridge(qreal width, qreal baseY, qreal height, unsigned seed, int peaks) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<qreal> jitter(0.35, 1.0);
    QPainterPath path;
    path.moveTo(0, baseY);
    const qreal step = width / peaks;
    for (int i = 0; i < peaks; ++i) {
        path.lineTo(step * i + step * 0.5, baseY - height * jitter(random));
        path.lineTo(step * (i + 1), baseY - height * 0.25 * jitter(random));
    }
    path.lineTo(width, baseY);
    path.closeSubpath();
    return path;
}

} // namespace

QImage ScenePainter::lakeAtSunset(QSize size) const {
    QImage image = canvas(size);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal horizon = h * 0.58;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, horizon);
        sky.setColorAt(0, QColor(0x3B, 0x2A, 0x6B));
        sky.setColorAt(0.55, QColor(0xE0, 0x6D, 0x4F));
        sky.setColorAt(1, QColor(0xFB, 0xC0, 0x6A));
        painter.fillRect(QRectF(0, 0, w, horizon), sky);

        QRadialGradient sun(QPointF(w * 0.62, horizon - h * 0.08), h * 0.12);
        sun.setColorAt(0, QColor(0xFF, 0xF3, 0xC4));
        sun.setColorAt(0.6, QColor(0xFF, 0xD2, 0x7A));
        sun.setColorAt(1, QColor(0xFF, 0xD2, 0x7A, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(sun);
        painter.drawEllipse(QPointF(w * 0.62, horizon - h * 0.08), h * 0.12, h * 0.12);

        painter.setBrush(QColor(0x5B, 0x3F, 0x6E));
        painter.drawPath(ridge(w, horizon, h * 0.32, 11, 5));
        painter.setBrush(QColor(0x3A, 0x2B, 0x4D));
        painter.drawPath(ridge(w, horizon, h * 0.18, 23, 8));

        fillVertical(painter, QRectF(0, horizon, w, h - horizon), QColor(0xC9, 0x7A, 0x63),
                     QColor(0x24, 0x1E, 0x3A));
        painter.setBrush(QColor(0xFF, 0xE3, 0xA0, 110));
        for (int i = 0; i < 14; ++i) {
            const qreal y = horizon + 6 + i * (h - horizon) / 16.0;
            const qreal half = w * (0.06 - i * 0.003);
            painter.drawRoundedRect(QRectF(w * 0.62 - half, y, half * 2, 3), 1.5, 1.5);
        }
    }
    addGrain(image, 101, 4);
    return image;
}

QImage ScenePainter::lighthouse(QSize size) const {
    QImage image = canvas(size);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal sea = h * 0.66;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        fillVertical(painter, QRectF(0, 0, w, sea), QColor(0x4A, 0x90, 0xD9), QColor(0xCF, 0xE8, 0xF7));
        fillVertical(painter, QRectF(0, sea, w, h - sea), QColor(0x2E, 0x6F, 0x9E), QColor(0x15, 0x3B, 0x5C));

        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawEllipse(QRectF(w * 0.08, h * 0.12, w * 0.34, h * 0.05));
        painter.drawEllipse(QRectF(w * 0.18, h * 0.10, w * 0.22, h * 0.05));

        QPainterPath rocks;
        rocks.moveTo(w * 0.2, h);
        rocks.quadTo(w * 0.35, sea - h * 0.06, w * 0.55, sea - h * 0.04);
        rocks.quadTo(w * 0.8, sea, w, sea + h * 0.05);
        rocks.lineTo(w, h);
        rocks.closeSubpath();
        painter.setBrush(QColor(0x5A, 0x52, 0x48));
        painter.drawPath(rocks);

        const qreal baseY = sea - h * 0.04;
        const qreal towerTop = h * 0.24;
        QPainterPath tower;
        tower.moveTo(w * 0.50, baseY);
        tower.lineTo(w * 0.56, towerTop);
        tower.lineTo(w * 0.66, towerTop);
        tower.lineTo(w * 0.72, baseY);
        tower.closeSubpath();
        painter.setBrush(QColor(0xF4, 0xF1, 0xEA));
        painter.drawPath(tower);
        painter.setClipPath(tower);
        painter.setBrush(QColor(0xC8, 0x32, 0x2E));
        for (int band = 0; band < 4; ++band) {
            const qreal top = towerTop + (baseY - towerTop) * (0.12 + band * 0.25);
            painter.drawRect(QRectF(0, top, w, (baseY - towerTop) * 0.12));
        }
        painter.setClipping(false);
        painter.setBrush(QColor(0x33, 0x33, 0x33));
        painter.drawRect(QRectF(w * 0.55, towerTop - h * 0.07, w * 0.12, h * 0.07));
        painter.setBrush(QColor(0xFF, 0xE8, 0x8A));
        painter.drawRect(QRectF(w * 0.57, towerTop - h * 0.06, w * 0.08, h * 0.05));
        painter.setBrush(QColor(0xC8, 0x32, 0x2E));
        painter.drawChord(QRectF(w * 0.54, towerTop - h * 0.11, w * 0.14, h * 0.08), 0, 180 * 16);
    }
    addGrain(image, 202, 4);
    return image;
}

QImage ScenePainter::meadow(QSize size) const {
    QImage image = canvas(size);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal horizon = h * 0.45;
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        fillVertical(painter, QRectF(0, 0, w, horizon), QColor(0x6C, 0xB4, 0xEE), QColor(0xE4, 0xF2, 0xFB));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x7F, 0xA8, 0x5B));
        painter.drawPath(ridge(w, horizon + h * 0.03, h * 0.1, 31, 3));
        fillVertical(painter, QRectF(0, horizon, w, h - horizon), QColor(0x8C, 0xC0, 0x4E),
                     QColor(0x3E, 0x7A, 0x2B));

        std::mt19937 random(303);
        std::uniform_real_distribution<qreal> unit(0, 1);
        const QColor petals[] = {QColor(0xF2, 0x5C, 0x8A), QColor(0xFF, 0xD1, 0x3B), QColor(0xFF, 0xFF, 0xFF),
                                 QColor(0xA7, 0x6B, 0xE0)};
        for (int i = 0; i < 260; ++i) {
            const qreal depth = unit(random);
            const QPointF centre(unit(random) * w, horizon + depth * depth * (h - horizon));
            const qreal radius = 2 + depth * depth * 14;
            painter.setBrush(petals[i % 4]);
            for (int petal = 0; petal < 5; ++petal) {
                const qreal angle = petal * 2 * std::numbers::pi / 5;
                painter.drawEllipse(centre + QPointF(std::cos(angle), std::sin(angle)) * radius * 0.7,
                                    radius * 0.55, radius * 0.55);
            }
            painter.setBrush(QColor(0xF5, 0xA6, 0x23));
            painter.drawEllipse(centre, radius * 0.35, radius * 0.35);
        }
    }
    addGrain(image, 304, 5);
    return image;
}

QImage ScenePainter::cityAtNight(QSize size) const {
    QImage image = canvas(size);
    const qreal w = size.width();
    const qreal h = size.height();
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        fillVertical(painter, QRectF(0, 0, w, h), QColor(0x0B, 0x10, 0x2B), QColor(0x2B, 0x2F, 0x5A));

        std::mt19937 random(404);
        std::uniform_real_distribution<qreal> unit(0, 1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 240));
        for (int i = 0; i < 120; ++i) {
            painter.drawEllipse(QPointF(unit(random) * w, unit(random) * h * 0.5), 1.2, 1.2);
        }
        painter.drawEllipse(QPointF(w * 0.82, h * 0.16), h * 0.05, h * 0.05);

        qreal x = 0;
        while (x < w) {
            const qreal width = w * (0.05 + unit(random) * 0.07);
            const qreal top = h * (0.3 + unit(random) * 0.4);
            painter.setBrush(QColor(0x15, 0x18, 0x2A));
            painter.drawRect(QRectF(x, top, width, h - top));
            for (qreal wy = top + 8; wy < h - 10; wy += 14) {
                for (qreal wx = x + 5; wx < x + width - 8; wx += 11) {
                    if (unit(random) < 0.45) {
                        painter.setBrush(unit(random) < 0.8 ? QColor(0xFF, 0xD9, 0x7A)
                                                            : QColor(0x9F, 0xD8, 0xFF));
                        painter.drawRect(QRectF(wx, wy, 5, 7));
                    }
                }
            }
            x += width + 2;
        }
    }
    addGrain(image, 405, 3);
    return image;
}

QImage ScenePainter::routeMap(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xF3, 0xEE, 0xE1));
    const qreal w = size.width();
    const qreal h = size.height();

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x8F, 0xC1, 0xE3), 14, Qt::SolidLine, Qt::RoundCap));
    QPainterPath river;
    river.moveTo(0, h * 0.7);
    river.cubicTo(w * 0.3, h * 0.5, w * 0.5, h * 0.95, w, h * 0.6);
    painter.drawPath(river);

    painter.setPen(QPen(QColor(0xC9, 0xC1, 0xAE), 4));
    for (int i = 1; i < 6; ++i) {
        painter.drawLine(QPointF(w * i / 6.0, 0), QPointF(w * i / 6.0, h));
        painter.drawLine(QPointF(0, h * i / 6.0), QPointF(w, h * i / 6.0));
    }

    const QPointF stops[] = {{w * 0.1, h * 0.2},
                             {w * 0.32, h * 0.35},
                             {w * 0.5, h * 0.25},
                             {w * 0.7, h * 0.45},
                             {w * 0.88, h * 0.3}};
    painter.setPen(QPen(QColor(0xD2, 0x3F, 0x31), 5, Qt::DashLine, Qt::RoundCap));
    for (int i = 0; i + 1 < 5; ++i) {
        painter.drawLine(stops[i], stops[i + 1]);
    }
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(16);
    painter.setFont(font);
    for (int i = 0; i < 5; ++i) {
        painter.setPen(QPen(Qt::white, 3));
        painter.setBrush(QColor(0xD2, 0x3F, 0x31));
        painter.drawEllipse(stops[i], 10, 10);
        painter.setPen(QColor(0x33, 0x33, 0x33));
        painter.drawText(stops[i] + QPointF(14, -12), QStringLiteral("Day %1").arg(i + 1));
    }
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, h - 44, w - 16, 36), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Coast walk, five days"));
    return image;
}

QImage ScenePainter::bouncingBall(QSize size, int frame, int frameCount) const {
    QImage image = canvas(size);
    const qreal w = size.width();
    const qreal h = size.height();
    const qreal t = frameCount > 1 ? static_cast<qreal>(frame) / (frameCount - 1) : 0;

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    fillVertical(painter, QRectF(0, 0, w, h), QColor(0x20, 0x3A, 0x5F), QColor(0x6A, 0x9B, 0xC9));
    painter.fillRect(QRectF(0, h * 0.85, w, h * 0.15), QColor(0x3F, 0x6B, 0x3A));

    const qreal radius = h * 0.09;
    const qreal floor = h * 0.85 - radius;
    const qreal bounce = std::abs(std::sin(t * 3 * std::numbers::pi));
    const QPointF centre(radius + t * (w - 2 * radius), floor - bounce * h * 0.55);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    painter.drawEllipse(QPointF(centre.x(), h * 0.86), radius * (1.1 - bounce * 0.4), radius * 0.25);
    QRadialGradient ball(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    ball.setColorAt(0, QColor(0xFF, 0xE0, 0x8A));
    ball.setColorAt(1, QColor(0xE0, 0x5A, 0x1B));
    painter.setBrush(ball);
    painter.drawEllipse(centre, radius, radius);

    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(8, 20), QStringLiteral("Frame %1 / %2").arg(frame + 1).arg(frameCount));
    return image;
}

} // namespace quarry::demo
