#include "results/ui/previewpane.h"

#include "results/ui/file_icons.h"
#include "results/ui/thumbnail.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMimeDatabase>
#include <QPainter>
#include <QPdfDocument>
#include <QPixmap>

namespace quarry::results {
namespace {

QImage readImage(const QString& filePath) {
    QImageReader reader(filePath);
    reader.setAutoTransform(true);
    // The reader would enlarge to a scaled size as well.
    const QSize stored = reader.size();
    if (stored.isValid())
        reader.setScaledSize(fitWithin(stored, kPreviewMaxSide));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    const QSize fitted = fitWithin(image.size(), kPreviewMaxSide);
    if (fitted != image.size())
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

// A page drawn as a sheet of paper: white under a thin frame, as icon-style previews look.
QImage renderFirstPage(const QString& filePath) {
    QPdfDocument document;
    if (document.load(filePath) != QPdfDocument::Error::None || document.pageCount() < 1)
        return {};
    const QSizeF points = document.pagePointSize(0);
    if (points.isEmpty())
        return {};
    const QSize size = fitWithin(points.toSize().expandedTo(QSize(1, 1)), kPreviewMaxSide);
    QImage page = document.render(0, size);
    if (page.isNull())
        return {};
    QImage sheet(page.size(), QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, page);
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.drawRect(sheet.rect().adjusted(0, 0, -1, -1));
    return sheet;
}

bool isPdf(const QString& filePath) {
    return QMimeDatabase().mimeTypeForFile(filePath).inherits("application/pdf");
}

} // namespace

PreviewPicture previewPicture(const QString& filePath) {
    if (filePath.isEmpty())
        return {};
    if (QImage image = readImage(filePath); !image.isNull())
        return {image, PreviewKind::Image};
    if (isPdf(filePath)) {
        if (QImage page = renderFirstPage(filePath); !page.isNull())
            return {page, PreviewKind::PdfPage};
    }
    const QIcon icon = fileTypeIcon(nameExtension(QFileInfo(filePath).fileName()));
    return {icon.pixmap(QSize(kPreviewMaxSide, kPreviewMaxSide)).toImage(), PreviewKind::TypeIcon};
}

bool canBeMovie(const QString& filePath) {
    const QFileInfo info(filePath);
    if (!info.isFile() || info.size() == 0)
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
    const auto isMedia = [](const QString& name) {
        return name.startsWith("video/") || name.startsWith("audio/");
    };
    if (isMedia(type.name()))
        return true;
    for (const QString& parent : type.allAncestors()) {
        if (isMedia(parent))
            return true;
    }
    return false;
}

void Image_Preview(QLabel* view, QGroupBox* frame, const QString& filePath, const QString& fileName) {
    if (filePath.isEmpty())
        return;
    const PreviewPicture picture = previewPicture(filePath);
    if (frame)
        frame->setTitle(fileName);
    if (!view)
        return;
    if (picture.image.isNull())
        view->clear();
    else
        view->setPixmap(QPixmap::fromImage(picture.image));
}

} // namespace quarry::results
