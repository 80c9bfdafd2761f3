#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfView>
#include <functional>

namespace quarry::results {

// A window that shows a PDF readable: a page at a time, fitted to the window's width or
// zoomed, with page navigation.
class DocumentViewer final : public QDialog {
    Q_OBJECT
public:
    explicit DocumentViewer(QWidget* parent = nullptr);

    // Shows the PDF at `path`; false, showing nothing, when it does not open as one.
    bool openFile(const QString& path, const QString& title);

    int currentPage() const;
    int pageCount() const { return document_.pageCount(); }
    // "Page n of m".
    QString pageText() const { return pageLabel_.text(); }
    QPdfView::ZoomMode zoomMode() const { return view_.zoomMode(); }
    qreal zoomFactor() const { return view_.zoomFactor(); }

    void goToPage(int page);
    void nextPage();
    void previousPage();
    void zoomIn();
    void zoomOut();
    void fitWidth();

private:
    void addButton(const QString& text, const QString& accessibleName, const std::function<void()>& act);
    void addShortcut(const QList<QKeySequence>& keys, const std::function<void()>& act);
    void showPageNumber();

    QPdfDocument document_{this};
    QVBoxLayout layout_{this};
    QHBoxLayout buttons_;
    QLabel pageLabel_;
    QPdfView view_{this};
};

} // namespace quarry::results
