#include "demo_media_set.h"

#include "document_writer.h"
#include "exif_segment.h"
#include "mjpeg_avi_writer.h"
#include "scene_painter.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QTransform>

namespace quarry::demo {

namespace {

constexpr int photoQuality = 88;
constexpr int clipQuality = 75;
constexpr int clipFrames = 24;
constexpr std::uint32_t clipFps = 12;
const QSize landscape(1024, 768);
const QSize portrait(768, 1024);
const QSize clipSize(320, 240);

QByteArray encodeJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

QByteArray encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The pixels a camera stores for a picture that is to be shown upright after
// the reader applies `orientation`.
QImage storedForOrientation(const QImage& upright, std::uint16_t orientation) {
    switch (orientation) {
    case 3:
        return upright.transformed(QTransform().rotate(180));
    case 6:
        return upright.transformed(QTransform().rotate(-90));
    case 8:
        return upright.transformed(QTransform().rotate(90));
    default:
        return upright;
    }
}

} // namespace

DemoMediaSet::DemoMediaSet(const QString& root) : root_(root) {}

bool DemoMediaSet::writeFile(const QString& path, const QByteArray& bytes, QString& error) {
    const QString target = root_.filePath(path);
    if (!root_.mkpath(QFileInfo(path).path())) {
        error = QStringLiteral("cannot create the folder of %1").arg(target);
        return false;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        error = QStringLiteral("cannot write %1: %2").arg(target, file.errorString());
        return false;
    }
    written_.append(path);
    return true;
}

bool DemoMediaSet::writePhoto(const QString& path, const QImage& upright, std::uint16_t orientation, int shot,
                              QString& error) {
    const QImage stored = storedForOrientation(upright, orientation);
    ShotInfo info;
    info.make = QByteArrayLiteral("Quarry Recovery");
    info.model = QByteArrayLiteral("Demo Camera");
    info.taken = QDateTime(QDate(2025, 7, 14 + shot), QTime(9 + 2 * shot, 12 + 7 * shot, 30));
    info.storedSize = stored.size();
    info.orientation = orientation;
    const QByteArray jpeg =
        ExifSegment::insertAfterSoi(encodeJpeg(stored, photoQuality), ExifSegment::build(info));
    if (jpeg.isEmpty()) {
        error = QStringLiteral("JPEG encoding failed for %1").arg(path);
        return false;
    }
    return writeFile(path, jpeg, error);
}

bool DemoMediaSet::writeClip(const QString& path, QString& error) {
    const ScenePainter painter;
    MjpegAviWriter avi(clipSize, clipFps);
    for (int frame = 0; frame < clipFrames; ++frame) {
        const QByteArray jpeg = encodeJpeg(painter.bouncingBall(clipSize, frame, clipFrames), clipQuality);
        if (jpeg.isEmpty()) {
            error = QStringLiteral("JPEG encoding failed for frame %1 of %2").arg(frame).arg(path);
            return false;
        }
        avi.addFrame(jpeg);
    }
    return writeFile(path, avi.finish(), error);
}

bool DemoMediaSet::writePdf(const QString& path, QString& error) {
    const QString target = root_.filePath(path);
    if (!root_.mkpath(QFileInfo(path).path()) || !DocumentWriter().writeTripNotesPdf(target) ||
        QFileInfo(target).size() == 0) {
        error = QStringLiteral("cannot write %1").arg(target);
        return false;
    }
    written_.append(path);
    return true;
}

QStringList DemoMediaSet::write(QString& error) {
    written_.clear();
    const ScenePainter scenes;
    const bool ok =
        writePhoto(QStringLiteral("DCIM/100QUARY/IMG_0001.JPG"), scenes.lakeAtSunset(landscape), 1, 0,
                   error) &&
        writePhoto(QStringLiteral("DCIM/100QUARY/IMG_0002.JPG"), scenes.lighthouse(portrait), 6, 1, error) &&
        writePhoto(QStringLiteral("DCIM/100QUARY/IMG_0003.JPG"), scenes.meadow(landscape), 3, 2, error) &&
        writePhoto(QStringLiteral("DCIM/100QUARY/IMG_0004.JPG"), scenes.cityAtNight(portrait), 8, 3, error) &&
        writeClip(QStringLiteral("DCIM/100QUARY/MVI_0005.AVI"), error) &&
        writeFile(QStringLiteral("Pictures/Route map.png"), encodePng(scenes.routeMap(QSize(800, 500))),
                  error) &&
        writeFile(QStringLiteral("Documents/Packing list.rtf"), DocumentWriter().packingListRtf(), error) &&
        writePdf(QStringLiteral("Documents/Trip notes.pdf"), error);
    return ok ? written_ : QStringList();
}

} // namespace quarry::demo
