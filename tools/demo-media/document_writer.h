#pragma once

#include <QByteArray>
#include <QString>

namespace quarry::demo {

// The documents of the demo medium: a two-page PDF and an RTF text.
class DocumentWriter {
public:
    bool writeTripNotesPdf(const QString& path) const;
    QByteArray packingListRtf() const;
};

} // namespace quarry::demo
