#include "results/ui/document_viewer.h"

#include <QAction>
#include <QPdfPageNavigator>
#include <QPushButton>
#include <algorithm>

namespace quarry::results {
namespace {
constexpr qreal kZoomStep = 1.25;
constexpr qreal kMinZoom = 0.1;
constexpr qreal kMaxZoom = 8.0;
} // namespace

DocumentViewer::DocumentViewer(QWidget* parent) : QDialog(parent) {
    setAccessibleName(tr("Document viewer"));
    resize(760, 900);
    addButton(tr("&Previous Page"), tr("Previous page"), [this] { previousPage(); });
    addButton(tr("&Next Page"), tr("Next page"), [this] { nextPage(); });
    buttons_.addWidget(&pageLabel_);
    buttons_.addStretch();
    addButton(tr("Zoom &Out"), tr("Zoom out"), [this] { zoomOut(); });
    addButton(tr("Zoom &In"), tr("Zoom in"), [this] { zoomIn(); });
    addButton(tr("Fit &Width"), tr("Fit to width"), [this] { fitWidth(); });
    addButton(tr("&Close"), tr("Close"), [this] { close(); });
    addShortcut({QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Right)}, [this] { nextPage(); });
    addShortcut({QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::Key_Left)}, [this] { previousPage(); });
    addShortcut({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, [this] { zoomIn(); });
    addShortcut({QKeySequence::ZoomOut}, [this] { zoomOut(); });
    addShortcut({QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { fitWidth(); });

    pageLabel_.setObjectName(QStringLiteral("pageNumber"));
    pageLabel_.setAccessibleName(tr("Page number"));
    view_.setObjectName(QStringLiteral("documentView"));
    view_.setAccessibleName(tr("Document"));
    view_.setPageMode(QPdfView::PageMode::SinglePage);
    view_.setZoomMode(QPdfView::ZoomMode::FitToWidth);
    layout_.addLayout(&buttons_);
    layout_.addWidget(&view_, 1);
    connect(view_.pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &DocumentViewer::showPageNumber);
}

void DocumentViewer::addButton(const QString& text, const QString& accessibleName,
                               const std::function<void()>& act) {
    auto* button = new QPushButton(text, this); // owned by the window
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, act);
    buttons_.addWidget(button);
}

void DocumentViewer::addShortcut(const QList<QKeySequence>& keys, const std::function<void()>& act) {
    auto* action = new QAction(this); // owned by the window
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, act);
    addAction(action);
}

bool DocumentViewer::openFile(const QString& path, const QString& title) {
    view_.setDocument(nullptr);
    document_.close();
    setWindowTitle(title);
    const bool opened = document_.load(path) == QPdfDocument::Error::None && document_.pageCount() > 0;
    if (opened) {
        view_.setDocument(&document_);
        fitWidth();
        goToPage(0);
    }
    showPageNumber();
    return opened;
}

int DocumentViewer::currentPage() const {
    return view_.pageNavigator()->currentPage();
}

void DocumentViewer::goToPage(int page) {
    if (document_.pageCount() < 1)
        return;
    view_.pageNavigator()->jump(std::clamp(page, 0, document_.pageCount() - 1), {}, view_.zoomFactor());
    showPageNumber();
}

void DocumentViewer::nextPage() {
    goToPage(currentPage() + 1);
}

void DocumentViewer::previousPage() {
    goToPage(currentPage() - 1);
}

void DocumentViewer::zoomIn() {
    view_.setZoomMode(QPdfView::ZoomMode::Custom);
    view_.setZoomFactor(std::min(view_.zoomFactor() * kZoomStep, kMaxZoom));
}

void DocumentViewer::zoomOut() {
    view_.setZoomMode(QPdfView::ZoomMode::Custom);
    view_.setZoomFactor(std::max(view_.zoomFactor() / kZoomStep, kMinZoom));
}

void DocumentViewer::fitWidth() {
    view_.setZoomMode(QPdfView::ZoomMode::FitToWidth);
}

void DocumentViewer::showPageNumber() {
    if (document_.pageCount() < 1)
        pageLabel_.setText(tr("This document cannot be shown."));
    else
        pageLabel_.setText(tr("Page %1 of %2").arg(currentPage() + 1).arg(document_.pageCount()));
}

} // namespace quarry::results
