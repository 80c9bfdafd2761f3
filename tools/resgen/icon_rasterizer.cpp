#include "icon_rasterizer.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quarry::resgen {

QImage IconRasterizer::rasterize(const QString& svgPath, int size) const {
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    return image;
}

} // namespace quarry::resgen
