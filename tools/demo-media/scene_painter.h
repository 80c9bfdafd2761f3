#pragma once

#include <QImage>
#include <QSize>

namespace quarry::demo {

// Draws the pictures of the demo medium. Every scene is deterministic, so the
// demo medium comes out the same on every machine.
class ScenePainter {
public:
    QImage lakeAtSunset(QSize size) const;
    QImage lighthouse(QSize size) const;
    QImage meadow(QSize size) const;
    QImage cityAtNight(QSize size) const;
    QImage routeMap(QSize size) const;
    // One frame of a short clip: a ball bouncing across a gradient.
    QImage bouncingBall(QSize size, int frame, int frameCount) const;
};

} // namespace quarry::demo
