#pragma once

#include <QLabel>

namespace quarry::app {

// A caption whose tabs align its trailing text ("Volume Name\t:") by drawing the part before
// the first tab on the left and the part after the last tab on the right, whatever the
// font; the text itself stays as set.
class CaptionLabel final : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString head() const;
    QString tail() const;
};

} // namespace quarry::app
