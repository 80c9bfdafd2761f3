#pragma once

#include <QString>

namespace quarry::resgen {

// Renders an HTML help source to a paginated A4 PDF with page numbers. Relative
// image references in the source resolve against the source's folder.
class HelpRenderer {
public:
    // Returns an empty string on success, otherwise what went wrong.
    QString render(const QString& htmlPath, const QString& pdfPath) const;
};

} // namespace quarry::resgen
