#include "app/caption_label.h"

#include <QPainter>
#include <QStyle>

namespace quarry::app {
namespace {

constexpr int kGap = 12;

} // namespace

CaptionLabel::CaptionLabel(QWidget* parent) : QLabel(parent) {}

QString CaptionLabel::head() const {
    return text().section(QLatin1Char('\t'), 0, 0);
}

QString CaptionLabel::tail() const {
    return text().contains(QLatin1Char('\t')) ? text().section(QLatin1Char('\t'), -1) : QString();
}

QSize CaptionLabel::sizeHint() const {
    if (!text().contains(QLatin1Char('\t')))
        return QLabel::sizeHint();
    const QFontMetrics metrics = fontMetrics();
    const QMargins m = contentsMargins();
    return {metrics.horizontalAdvance(head()) + kGap + metrics.horizontalAdvance(tail()) + m.left() +
                m.right(),
            QLabel::sizeHint().height()};
}

QSize CaptionLabel::minimumSizeHint() const {
    return sizeHint();
}

void CaptionLabel::paintEvent(QPaintEvent* event) {
    if (!text().contains(QLatin1Char('\t'))) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), head(),
                          foregroundRole());
    style()->drawItemText(&painter, area, Qt::AlignRight | Qt::AlignVCenter, palette(), isEnabled(), tail(),
                          foregroundRole());
}

} // namespace quarry::app
