#pragma once

#include <QImage>
#include <QString>

namespace quarry::resgen {

// Renders a scalable icon to a square bitmap so the fixed-size icon folders
// are drawn from the same source as the scalable one.
class IconRasterizer {
public:
    // A null image means the SVG could not be read.
    QImage rasterize(const QString& svgPath, int size) const;
};

} // namespace quarry::resgen
