#include "results/ui/browser_view.h"

#include <QListView>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

namespace quarry::results {
namespace {

constexpr int kSmallestIcon = 16;
constexpr int kLargestIcon = 256;
constexpr int kCaptionWidth = 124; // room for a name such as DOCX00001.DOCX
constexpr int kCaptionHeight = 20;
constexpr int kCellPadding = 8;
constexpr int kLayoutBatch = 1000;

// Every item takes a whole grid cell, so the view can lay out thousands of items without asking
// each one for its picture (uniform item sizes), and tall thumbnails are not cut to the first
// item's height.
class GridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (const auto* view = qobject_cast<const QListView*>(option.widget);
            view && view->gridSize().isValid())
            return view->gridSize();
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

} // namespace

BrowserGeometry browserGeometryForZoom(double zoom) {
    zoom = std::clamp(std::isnan(zoom) ? 0.0 : zoom, 0.0, 1.0);
    const int side = kSmallestIcon + static_cast<int>(std::lround(zoom * (kLargestIcon - kSmallestIcon)));
    return {QSize(side, side),
            QSize(std::max(side, kCaptionWidth) + kCellPadding, side + kCaptionHeight + kCellPadding)};
}

void setZoomValue(QListView* browser, double zoom) {
    const auto geometry = browserGeometryForZoom(zoom);
    browser->setIconSize(geometry.iconSize);
    browser->setGridSize(geometry.gridSize);
}

void configureBrowser(QListView* browser, QAbstractItemModel* model, double zoom) {
    browser->setViewMode(QListView::IconMode);
    browser->setMovement(QListView::Static);
    browser->setFlow(QListView::LeftToRight);
    browser->setWrapping(true);
    browser->setResizeMode(QListView::Adjust);
    browser->setUniformItemSizes(true);
    // Laid out a slice at a time, so 100 000 items never hold up the event loop at once.
    browser->setLayoutMode(QListView::Batched);
    browser->setBatchSize(kLayoutBatch);
    browser->setTextElideMode(Qt::ElideMiddle);
    browser->setSelectionMode(QAbstractItemView::ExtendedSelection);
    browser->setEditTriggers(QAbstractItemView::NoEditTriggers);
    browser->setDragEnabled(false);
    browser->setDragDropMode(QAbstractItemView::NoDragDrop);
    browser->setItemDelegate(new GridCellDelegate(browser));
    browser->setModel(model);
    setZoomValue(browser, zoom);
}

ScrollerPart scrollerPartFor(QAbstractSlider::SliderAction action) {
    switch (action) {
    case QAbstractSlider::SliderPageStepSub:
        return ScrollerPart::DecrementPage;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollerPart::IncrementPage;
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollerPart::DecrementLine;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollerPart::IncrementLine;
    case QAbstractSlider::SliderMove:
        return ScrollerPart::Knob;
    default:
        return ScrollerPart::NoPart;
    }
}

double scrollerValueAfter(double value, ScrollerPart part) {
    switch (part) {
    case ScrollerPart::DecrementPage:
        value -= 0.2;
        break;
    case ScrollerPart::IncrementPage:
        value += 0.2;
        break;
    case ScrollerPart::DecrementLine:
        value -= 0.05;
        break;
    case ScrollerPart::IncrementLine:
        value += 0.05;
        break;
    default:
        return value;
    }
    // A scroller's value is a fraction of its range.
    return std::clamp(value, 0.0, 1.0);
}

void scrollerAction(QAbstractSlider* scroller, ScrollerPart part) {
    const int span = scroller->maximum() - scroller->minimum();
    if (span <= 0)
        return;
    const double fraction = double(scroller->value() - scroller->minimum()) / span;
    const double moved = scrollerValueAfter(fraction, part);
    scroller->setValue(scroller->minimum() + static_cast<int>(std::lround(moved * span)));
}

} // namespace quarry::results
