#pragma once

#include <QAbstractSlider>
#include <QSize>

class QListView;
class QAbstractItemModel;

namespace quarry::results {

inline constexpr double kPhotoBrowserZoom = 0.55; // imageBrowser at start and per photo scan
inline constexpr double kPhotoZoomSlider = 0.5;   // _zoom_slider beside it
inline constexpr double kFileBrowserZoom = 0.05;  // imageBrowser_2, never changed

struct BrowserGeometry {
    QSize iconSize;
    QSize gridSize;
};

// Cell geometry for a zoom value from 0 (smallest) to 1 (largest); values outside are clamped.
BrowserGeometry browserGeometryForZoom(double zoom);

// Icon view of `model` at `zoom`: items in found order, selectable, no editing, no dragging.
void configureBrowser(QListView* browser, QAbstractItemModel* model, double zoom);
// `setZoomValue:`.
void setZoomValue(QListView* browser, double zoom);

// The parts of a scroller a click can hit.
enum class ScrollerPart {
    DecrementPage,
    IncrementPage,
    DecrementLine,
    IncrementLine,
    Knob,
    KnobSlot,
    NoPart
};

ScrollerPart scrollerPartFor(QAbstractSlider::SliderAction action);
// A scroller's value (0 to 1) after a click on `part`: a page is 0.2, a line 0.05.
double scrollerValueAfter(double value, ScrollerPart part);
// `scrollerAction:` for a Qt scroll bar: its position, as a fraction of its range, moved as above.
void scrollerAction(QAbstractSlider* scroller, ScrollerPart part);

} // namespace quarry::results
