#pragma once

#include "app/movie_view.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

namespace quarry::app {

// A window that plays a found sound or movie large, with the movie view's controls.
class MediaWindow final : public QDialog {
    Q_OBJECT
public:
    explicit MediaWindow(QWidget* parent = nullptr);

    // Puts the file in, held at its start, and shows the window titled `title`.
    void open(const QUrl& file, const QString& title);
    MovieView& movieView() { return view_; }

protected:
    // A closed window plays nothing.
    void hideEvent(QHideEvent* event) override;

private:
    QVBoxLayout layout_{this};
    MovieView view_{this};
    QPushButton close_{tr("&Close"), this};
};

} // namespace quarry::app
