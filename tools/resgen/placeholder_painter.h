#pragma once

#include <QImage>

namespace quarry::resgen {

// Draws the neutral thumbnail shown for an item whose picture cannot be
// decoded: a grey rounded frame holding a crossed-out picture glyph, on a
// transparent background.
class PlaceholderPainter {
public:
    QImage paint(int size) const;
};

} // namespace quarry::resgen
