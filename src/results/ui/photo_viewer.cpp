#include "results/ui/photo_viewer.h"

#include <QBuffer>
#include <QImageReader>
#include <QKeyEvent>
#include <QKeySequence>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTransform>
#include <QWheelEvent>
#include <algorithm>
#include <span>

namespace quarry::results {
namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMinScale = 0.02;
constexpr double kMaxScale = 16.0;

QString cameraText(const PhotoSummary& summary) {
    const QString make = QString::fromStdString(summary.make);
    const QString model = QString::fromStdString(summary.model);
    // Most cameras repeat the maker in the model's name.
    if (make.isEmpty() || model.startsWith(make, Qt::CaseInsensitive))
        return model;
    return model.isEmpty() ? make : make + QLatin1Char(' ') + model;
}

// "2008:05:30 15:56:01" reads as "2008-05-30 15:56:01".
QString dateText(const std::string& exifDate) {
    QString date = QString::fromStdString(exifDate);
    if (date.size() >= 10 && date[4] == QLatin1Char(':') && date[7] == QLatin1Char(':')) {
        date[4] = QLatin1Char('-');
        date[7] = QLatin1Char('-');
    }
    return date;
}

QString orientationText(int orientation) {
    switch (orientation) {
    case 2:
        return PhotoViewer::tr("mirrored left to right");
    case 3:
        return PhotoViewer::tr("turned upside down");
    case 4:
        return PhotoViewer::tr("mirrored top to bottom");
    case 5:
        return PhotoViewer::tr("mirrored and turned a quarter left");
    case 6:
        return PhotoViewer::tr("turned a quarter right");
    case 7:
        return PhotoViewer::tr("mirrored and turned a quarter right");
    case 8:
        return PhotoViewer::tr("turned a quarter left");
    default:
        return PhotoViewer::tr("as stored");
    }
}

} // namespace

QImage orientedImage(const QImage& stored, int orientation) {
    const bool mirror = orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
    int degrees = 0;
    switch (orientation) {
    case 3:
    case 4:
        degrees = 180;
        break;
    case 5:
    case 6:
        degrees = 90;
        break;
    case 7:
    case 8:
        degrees = 270;
        break;
    default:
        break;
    }
    QImage image = degrees ? stored.transformed(QTransform().rotate(degrees)) : stored;
    if (mirror)
        image = image.mirrored(true, false);
    return image;
}

QString summaryText(const PhotoSummary& summary, QSize shown) {
    QStringList lines;
    const QString camera = cameraText(summary);
    lines << PhotoViewer::tr("Camera: %1").arg(camera.isEmpty() ? PhotoViewer::tr("not recorded") : camera);
    lines << PhotoViewer::tr("Taken: %1")
                 .arg(summary.dateTaken.empty() ? PhotoViewer::tr("not recorded")
                                                : dateText(summary.dateTaken));
    if (shown.isValid())
        lines << PhotoViewer::tr("Size: %1 × %2 pixels").arg(shown.width()).arg(shown.height());
    lines << PhotoViewer::tr("Orientation: %1").arg(orientationText(summary.orientation));
    return lines.join(QLatin1Char('\n'));
}

PhotoViewer::PhotoViewer(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Photo"));
    setAccessibleName(tr("Photo viewer"));
    resize(900, 640);

    addButton(tr("&Previous"), tr("Previous photo"), [this] { previous(); });
    addButton(tr("&Next"), tr("Next photo"), [this] { next(); });
    buttons_.addWidget(&position_);
    buttons_.addStretch();
    addButton(tr("Zoom &Out"), tr("Zoom out"), [this] { zoomOut(); });
    addButton(tr("Zoom &In"), tr("Zoom in"), [this] { zoomIn(); });
    addButton(tr("&Fit"), tr("Fit to window"), [this] { fitToWindow(); });
    addButton(tr("&Close"), tr("Close"), [this] { close(); });

    position_.setObjectName(QStringLiteral("photoPosition"));
    position_.setAccessibleName(tr("Photo number"));
    view_.setObjectName(QStringLiteral("photoView"));
    view_.setAccessibleName(tr("Photo"));
    view_.setAlignment(Qt::AlignCenter);
    scroller_.setWidget(&view_);
    scroller_.setWidgetResizable(true);
    scroller_.setAlignment(Qt::AlignCenter);
    scroller_.setFocusPolicy(Qt::NoFocus);
    scroller_.viewport()->installEventFilter(this);
    summary_.setObjectName(QStringLiteral("photoSummary"));
    summary_.setAccessibleName(tr("Photo information"));
    summary_.setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_.setAlignment(Qt::AlignTop | Qt::AlignLeft);
    summary_.setMinimumWidth(220);
    summary_.setWordWrap(true);

    body_.addWidget(&scroller_, 1);
    body_.addWidget(&summary_);
    layout_.addLayout(&buttons_);
    layout_.addLayout(&body_, 1);
}

void PhotoViewer::addButton(const QString& text, const QString& accessibleName,
                            const std::function<void()>& act) {
    auto* button = new QPushButton(text, this); // owned by the window
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QPushButton::clicked, this, act);
    buttons_.addWidget(button);
}

void PhotoViewer::setList(PhotoList list) {
    list_ = std::move(list);
    index_ = -1;
}

void PhotoViewer::showItem(int index) {
    if (!list_.count || index < 0 || index >= list_.count())
        return;
    index_ = index;
    const QByteArray bytes = list_.bytes(index);
    const PhotoSummary summary = summarisePhoto(std::span(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    // The orientation is the summary's, so what is shown matches what is said.
    reader.setAutoTransform(false);
    picture_ = orientedImage(reader.read(), summary.orientation);

    const QString name = list_.name(index);
    setWindowTitle(name);
    position_.setText(tr("%1 of %2").arg(index + 1).arg(list_.count()));
    summary_.setText(name + QLatin1Char('\n') + summaryText(summary, picture_.size()));
    fit_ = true;
    redraw();
}

void PhotoViewer::next() {
    showItem(index_ + 1);
}

void PhotoViewer::previous() {
    showItem(index_ - 1);
}

double PhotoViewer::scale() const {
    if (!fit_ || picture_.isNull())
        return zoom_;
    const QSize room = scroller_.viewport()->size();
    const double fitted =
        std::min(double(room.width()) / picture_.width(), double(room.height()) / picture_.height());
    return std::clamp(fitted, kMinScale, 1.0);
}

void PhotoViewer::zoomBy(double factor) {
    zoom_ = std::clamp(scale() * factor, kMinScale, kMaxScale);
    fit_ = false;
    redraw();
}

void PhotoViewer::zoomIn() {
    zoomBy(kZoomStep);
}

void PhotoViewer::zoomOut() {
    zoomBy(1.0 / kZoomStep);
}

void PhotoViewer::fitToWindow() {
    fit_ = true;
    redraw();
}

void PhotoViewer::redraw() {
    if (picture_.isNull()) {
        view_.setPixmap({});
        view_.setText(index_ < 0 ? QString() : tr("This picture cannot be shown."));
        return;
    }
    const QSize size = (QSizeF(picture_.size()) * scale()).toSize().expandedTo(QSize(1, 1));
    view_.setPixmap(
        QPixmap::fromImage(picture_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

bool PhotoViewer::eventFilter(QObject* watched, QEvent* event) {
    // The type first: the dialog's children still send events after scroller_ has gone.
    if (event->type() == QEvent::Wheel && watched == scroller_.viewport()) {
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta != 0)
            zoomBy(delta > 0 ? kZoomStep : 1.0 / kZoomStep);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// Keys reach the window whichever of its buttons has the focus: buttons pass arrows on.
void PhotoViewer::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool control = event->modifiers().testFlag(Qt::ControlModifier);
    if (key == Qt::Key_Right || key == Qt::Key_PageDown)
        next();
    else if (key == Qt::Key_Left || key == Qt::Key_PageUp)
        previous();
    else if (event->matches(QKeySequence::ZoomIn) ||
             (control && (key == Qt::Key_Plus || key == Qt::Key_Equal)))
        zoomIn();
    else if (event->matches(QKeySequence::ZoomOut) || (control && key == Qt::Key_Minus))
        zoomOut();
    else if (control && key == Qt::Key_0)
        fitToWindow();
    else
        QDialog::keyPressEvent(event);
}

void PhotoViewer::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (fit_)
        redraw();
}

} // namespace quarry::results
