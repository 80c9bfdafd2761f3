#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <cstdint>

namespace quarry::demo {

// Assembles a RIFF AVI with one Motion-JPEG video stream from encoded JPEG
// frames: hdrl (avih, strl with strh and strf), an INFO list, movi with one
// 00dc chunk per frame, and the idx1 index that players seek with.
class MjpegAviWriter {
public:
    MjpegAviWriter(QSize frameSize, std::uint32_t framesPerSecond);

    void addFrame(const QByteArray& jpeg);
    QByteArray finish() const;

private:
    QByteArray mainHeader() const;
    QByteArray streamList() const;
    std::uint32_t largestFrame() const;

    QSize frameSize_;
    std::uint32_t framesPerSecond_;
    QList<QByteArray> frames_;
};

} // namespace quarry::demo
