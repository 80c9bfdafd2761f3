#include "app/window_style.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace quarry::app {

void applyWindowBackground(QWidget& window) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(241, 244, 250));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
}

} // namespace quarry::app
