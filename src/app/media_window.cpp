#include "app/media_window.h"

#include <QMimeDatabase>

namespace quarry::app {

MediaWindow::MediaWindow(QWidget* parent) : QDialog(parent) {
    setAccessibleName(tr("Media player"));
    view_.setObjectName(QStringLiteral("mediaView"));
    close_.setAccessibleName(tr("Close"));
    close_.setAutoDefault(false);
    layout_.addWidget(&view_, 1);
    layout_.addWidget(&close_, 0, Qt::AlignRight);
    connect(&close_, &QPushButton::clicked, this, &QDialog::close);
}

void MediaWindow::open(const QUrl& file, const QString& title) {
    setWindowTitle(title);
    // A sound needs room for its controls only.
    const bool sound =
        QMimeDatabase().mimeTypeForFile(file.toLocalFile()).name().startsWith(QLatin1String("audio/"));
    resize(sound ? QSize(560, 110) : QSize(720, 520));
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
