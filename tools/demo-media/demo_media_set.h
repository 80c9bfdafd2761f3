#pragma once

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace quarry::demo {

// The files of the demo medium, laid out as on a camera card: photos and a
// clip in DCIM, a picture and two documents in their own folders.
class DemoMediaSet {
public:
    explicit DemoMediaSet(const QString& root);

    // Writes every file below the root. Returns the paths written, relative to
    // the root; on failure the list is empty and `error` says why.
    QStringList write(QString& error);

private:
    bool writePhoto(const QString& path, const QImage& upright, std::uint16_t orientation, int shot,
                    QString& error);
    bool writeClip(const QString& path, QString& error);
    bool writePdf(const QString& path, QString& error);
    bool writeFile(const QString& path, const QByteArray& bytes, QString& error);

    QDir root_;
    QStringList written_;
};

} // namespace quarry::demo
