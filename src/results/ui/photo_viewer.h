#pragma once

#include "results/photo_summary.h"

#include <QBoxLayout>
#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <functional>

namespace quarry::results {

// The pictures a viewer steps through, read when shown.
struct PhotoList {
    std::function<int()> count;
    std::function<QString(int)> name;
    std::function<QByteArray(int)> bytes;
};

// A picture turned and mirrored as its EXIF orientation (1 to 8) says it is to be seen.
QImage orientedImage(const QImage& stored, int orientation);

// The EXIF summary in words, one line each: camera, date taken, size, orientation.
QString summaryText(const PhotoSummary& summary, QSize shown);

// A window showing one picture of a list large: fitted to the window or zoomed, stepped with
// the arrow keys, beside what its EXIF block says.
class PhotoViewer final : public QDialog {
    Q_OBJECT
public:
    explicit PhotoViewer(QWidget* parent = nullptr);

    void setList(PhotoList list);
    // Shows the list's picture at `index`; one outside the list is ignored.
    void showItem(int index);
    int currentIndex() const { return index_; }
    // The picture as shown at scale 1, its orientation applied; null when it does not decode.
    const QImage& picture() const { return picture_; }
    // Pixels shown per pixel of the picture.
    double scale() const;
    bool fitsWindow() const { return fit_; }

    void next();
    void previous();
    void zoomIn();
    void zoomOut();
    void fitToWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void addButton(const QString& text, const QString& accessibleName, const std::function<void()>& act);
    void zoomBy(double factor);
    void redraw();

    PhotoList list_;
    int index_ = -1;
    QImage picture_;
    bool fit_ = true;
    double zoom_ = 1.0;

    QVBoxLayout layout_{this};
    QHBoxLayout buttons_;
    QHBoxLayout body_;
    QLabel position_;
    QScrollArea scroller_;
    QLabel view_;
    QLabel summary_;
};

} // namespace quarry::results
