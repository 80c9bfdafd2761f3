#pragma once

class QWidget;

namespace quarry::app {

// The light blue-grey background (241/244/250) that the main window and every dialog share.
void applyWindowBackground(QWidget& window);

} // namespace quarry::app
