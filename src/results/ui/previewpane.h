#pragma once

#include <QImage>
#include <QString>

class QLabel;
class QGroupBox;

namespace quarry::results {

inline constexpr int kPreviewMaxSide = 200;

enum class PreviewKind { Image, PdfPage, TypeIcon, None };

struct PreviewPicture {
    QImage image; // at most 200 × 200
    PreviewKind kind = PreviewKind::None;
};

// A picture of the file at `filePath`: the image itself, scaled down to fit 200 × 200 with its
// orientation applied; a PDF's first page; otherwise the icon of its type at 200 × 200. None
// only for an empty path. GUI thread.
PreviewPicture previewPicture(const QString& filePath);

// Whether the movie view should try `filePath` in video mode: a non-empty file whose content
// or name says audio or video. Anything else goes to the image preview directly.
bool canBeMovie(const QString& filePath);

// `Image_Preview:file_Name:`: titles `frame` and shows the picture in `view`, or clears the
// view when there is none. Nothing happens for an empty path. Either control may be null.
void Image_Preview(QLabel* view, QGroupBox* frame, const QString& filePath, const QString& fileName);

} // namespace quarry::results
