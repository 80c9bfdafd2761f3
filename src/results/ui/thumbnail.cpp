#include "results/ui/thumbnail.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

namespace quarry::results {

QSize fitWithin(QSize size, int maxSide) {
    const int longer = std::max(size.width(), size.height());
    if (size.isEmpty() || longer <= maxSide)
        return size;
    const auto scale = [&](int side) {
        return std::max(1, static_cast<int>((static_cast<qint64>(side) * maxSide + longer / 2) / longer));
    };
    return {scale(size.width()), scale(size.height())};
}

namespace {

QImage decodeScaled(const QByteArray& bytes, QSize& pictureSize) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    // The reader enlarges to a scaled size too, so only ask it to shrink. The size is that of
    // the stored, unrotated image; a quarter turn keeps the longer side.
    const QSize stored = reader.size();
    if (stored.isValid() && std::max(stored.width(), stored.height()) > kThumbnailMaxSide)
        reader.setScaledSize(fitWithin(stored, kThumbnailMaxSide));
    QImage image = reader.read();
    if (image.isNull())
        return image;
    const QSize own = stored.isValid() ? stored : image.size();
    pictureSize =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90) ? own.transposed() : own;
    const QSize fitted = fitWithin(image.size(), kThumbnailMaxSide);
    if (fitted != image.size())
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

// JPEG has no transparency; lay transparent pictures on white rather than black.
QImage flattened(const QImage& image) {
    if (!image.hasAlphaChannel())
        return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

} // namespace

QByteArray makeThumbnail(const QByteArray& imageBytes, const QByteArray& placeholder, QSize* pictureSize) {
    QSize size;
    const QImage image = decodeScaled(imageBytes, size);
    if (pictureSize)
        *pictureSize = size;
    if (image.isNull())
        return placeholder;
    QByteArray encoded;
    QBuffer out(&encoded);
    out.open(QIODevice::WriteOnly);
    if (!flattened(image).save(&out, "JPEG"))
        return placeholder;
    return encoded;
}

} // namespace quarry::results
