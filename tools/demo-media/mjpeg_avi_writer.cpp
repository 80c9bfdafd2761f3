#include "mjpeg_avi_writer.h"

#include "tiff_directory.h"

#include <algorithm>

namespace quarry::demo {

namespace {

constexpr std::uint32_t hasIndex = 0x10;
constexpr std::uint32_t keyFrame = 0x10;

QByteArray chunk(const char* fourcc, const QByteArray& data) {
    QByteArray out(fourcc, 4);
    appendU32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
    // Chunks start on even offsets; the pad byte is not counted in the size.
    if (data.size() & 1) {
        out.append('\0');
    }
    return out;
}

QByteArray list(const char* type, const QByteArray& content) {
    return chunk("LIST", QByteArray(type, 4) + content);
}

} // namespace

MjpegAviWriter::MjpegAviWriter(QSize frameSize, std::uint32_t framesPerSecond)
    : frameSize_(frameSize), framesPerSecond_(framesPerSecond) {}

void MjpegAviWriter::addFrame(const QByteArray& jpeg) {
    frames_.append(jpeg);
}

std::uint32_t MjpegAviWriter::largestFrame() const {
    qsizetype largest = 0;
    for (const auto& frame : frames_) {
        largest = std::max(largest, frame.size());
    }
    return static_cast<std::uint32_t>(largest);
}

QByteArray MjpegAviWriter::mainHeader() const {
    const auto frames = static_cast<std::uint32_t>(frames_.size());
    QByteArray avih;
    appendU32(avih, 1000000 / framesPerSecond_); // microseconds per frame
    appendU32(avih, (largestFrame() + 8) * framesPerSecond_);
    appendU32(avih, 0); // padding granularity
    appendU32(avih, hasIndex);
    appendU32(avih, frames);
    appendU32(avih, 0); // initial frames
    appendU32(avih, 1); // streams
    appendU32(avih, largestFrame() + 8);
    appendU32(avih, static_cast<std::uint32_t>(frameSize_.width()));
    appendU32(avih, static_cast<std::uint32_t>(frameSize_.height()));
    avih.append(16, '\0'); // reserved
    return chunk("avih", avih);
}

QByteArray MjpegAviWriter::streamList() const {
    const auto width = static_cast<std::uint32_t>(frameSize_.width());
    const auto height = static_cast<std::uint32_t>(frameSize_.height());

    QByteArray strh("vidsMJPG", 8);
    appendU32(strh, 0); // flags
    appendU16(strh, 0); // priority
    appendU16(strh, 0); // language
    appendU32(strh, 0); // initial frames
    appendU32(strh, 1); // scale
    appendU32(strh, framesPerSecond_);
    appendU32(strh, 0); // start
    appendU32(strh, static_cast<std::uint32_t>(frames_.size()));
    appendU32(strh, largestFrame() + 8);
    appendU32(strh, 0xFFFFFFFF); // quality: driver default
    appendU32(strh, 0);          // sample size: varies per frame
    appendU16(strh, 0);
    appendU16(strh, 0);
    appendU16(strh, static_cast<std::uint16_t>(width));
    appendU16(strh, static_cast<std::uint16_t>(height));

    QByteArray strf; // BITMAPINFOHEADER
    appendU32(strf, 40);
    appendU32(strf, width);
    appendU32(strf, height);
    appendU16(strf, 1);  // planes
    appendU16(strf, 24); // bits per pixel
    strf.append("MJPG", 4);
    appendU32(strf, width * height * 3);
    appendU32(strf, 0);
    appendU32(strf, 0);
    appendU32(strf, 0);
    appendU32(strf, 0);

    return list("strl", chunk("strh", strh) + chunk("strf", strf));
}

QByteArray MjpegAviWriter::finish() const {
    QByteArray movi;
    QByteArray index;
    for (const auto& frame : frames_) {
        // Index offsets count from the "movi" type code of the list.
        index.append("00dc", 4);
        appendU32(index, keyFrame);
        appendU32(index, static_cast<std::uint32_t>(movi.size() + 4));
        appendU32(index, static_cast<std::uint32_t>(frame.size()));
        movi += chunk("00dc", frame);
    }

    const QByteArray info = list("INFO", chunk("ISFT", QByteArray("quarry-demo-media\0", 18)));
    const QByteArray body = QByteArray("AVI ", 4) + list("hdrl", mainHeader() + streamList()) + info +
                            list("movi", movi) + chunk("idx1", index);
    return chunk("RIFF", body);
}

} // namespace quarry::demo
