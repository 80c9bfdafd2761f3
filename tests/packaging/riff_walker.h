#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// A strict reader of RIFF chunk trees, written apart from the demo tool's
// writer so that the test does not share its mistakes.
struct RiffChunk {
    QByteArray id;       // four characters
    QByteArray listType; // for RIFF and LIST chunks, else empty
    qsizetype offset{0}; // of the chunk's id in the file
    std::uint32_t size{0};
    QByteArray data; // payload, list type excluded
    QList<RiffChunk> children;
};

class RiffWalker {
public:
    // Parses the whole file as one RIFF chunk. Any size that runs past its
    // parent, or bytes left over, is an error.
    bool parse(const QByteArray& file, RiffChunk& root, QString& error) const;

private:
    bool parseChildren(const QByteArray& file, qsizetype begin, qsizetype end, QList<RiffChunk>& out,
                       QString& error) const;
};

std::uint32_t readU32(const QByteArray& bytes, qsizetype offset);
std::uint16_t readU16(const QByteArray& bytes, qsizetype offset);
