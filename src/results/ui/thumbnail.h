#pragma once

#include <QByteArray>
#include <QSize>

namespace quarry::results {

inline constexpr int kThumbnailMaxSide = 100;

// `size` shrunk to fit `maxSide` on its longer side, keeping its aspect; never enlarged.
QSize fitWithin(QSize size, int maxSide);

// A JPEG thumbnail of an encoded image, at most 100 pixels on its longer side, with the
// image's orientation applied; `placeholder` when the bytes do not decode. `pictureSize`, when
// given, gets the picture's own size, invalid when it does not decode. Safe on any thread.
QByteArray makeThumbnail(const QByteArray& imageBytes, const QByteArray& placeholder,
                         QSize* pictureSize = nullptr);

} // namespace quarry::results
