#include "riff_walker.h"

std::uint16_t readU16(const QByteArray& bytes, qsizetype offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + offset);
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const QByteArray& bytes, qsizetype offset) {
    return readU16(bytes, offset) | (static_cast<std::uint32_t>(readU16(bytes, offset + 2)) << 16);
}

bool RiffWalker::parseChildren(const QByteArray& file, qsizetype begin, qsizetype end, QList<RiffChunk>& out,
                               QString& error) const {
    qsizetype at = begin;
    while (at < end) {
        if (end - at < 8) {
            error = QStringLiteral("truncated chunk header at %1").arg(at);
            return false;
        }
        RiffChunk chunk;
        chunk.id = file.mid(at, 4);
        chunk.offset = at;
        chunk.size = readU32(file, at + 4);
        const qsizetype payload = at + 8;
        if (static_cast<qsizetype>(chunk.size) > end - payload) {
            error = QStringLiteral("chunk %1 at %2 runs past its parent")
                        .arg(QString::fromLatin1(chunk.id))
                        .arg(at);
            return false;
        }
        if (chunk.id == "LIST") {
            if (chunk.size < 4) {
                error = QStringLiteral("LIST at %1 has no type").arg(at);
                return false;
            }
            chunk.listType = file.mid(payload, 4);
            if (!parseChildren(file, payload + 4, payload + chunk.size, chunk.children, error)) {
                return false;
            }
        } else {
            chunk.data = file.mid(payload, chunk.size);
        }
        out.append(chunk);
        at = payload + chunk.size + (chunk.size & 1);
    }
    if (at != end) {
        error = QStringLiteral("padding runs past the parent at %1").arg(end);
        return false;
    }
    return true;
}

bool RiffWalker::parse(const QByteArray& file, RiffChunk& root, QString& error) const {
    if (file.size() < 12 || !file.startsWith("RIFF")) {
        error = QStringLiteral("no RIFF header");
        return false;
    }
    root.id = "RIFF";
    root.size = readU32(file, 4);
    root.listType = file.mid(8, 4);
    if (static_cast<qsizetype>(root.size) + 8 != file.size()) {
        error =
            QStringLiteral("RIFF size %1 does not match the file size %2").arg(root.size).arg(file.size());
        return false;
    }
    return parseChildren(file, 12, file.size(), root.children, error);
}
