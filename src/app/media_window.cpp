#include "app/media_window.h"

namespace quarry::app {

MediaWindow::MediaWindow(QWidget* parent) : QDialog(parent) {
    setAccessibleName(tr("Media player"));
    resize(720, 520);
    view_.setObjectName(QStringLiteral("mediaView"));
    close_.setAccessibleName(tr("Close"));
    close_.setAutoDefault(false);
    layout_.addWidget(&view_, 1);
    layout_.addWidget(&close_, 0, Qt::AlignRight);
    connect(&close_, &QPushButton::clicked, this, &QDialog::close);
}

void MediaWindow::open(const QUrl& file, const QString& title) {
    setWindowTitle(title);
    view_.setSource(file);
    show();
    raise();
    activateWindow();
}

void MediaWindow::hideEvent(QHideEvent* event) {
    view_.setSource(QUrl());
    QDialog::hideEvent(event);
}

} // namespace quarry::app
