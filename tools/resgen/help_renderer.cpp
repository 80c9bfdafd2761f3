#include "help_renderer.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QUrl>

namespace quarry::resgen {

namespace {

QString documentTitle(const QString& html) {
    static const QRegularExpression titleTag(QStringLiteral("<title>(.*?)</title>"),
                                             QRegularExpression::DotMatchesEverythingOption);
    const auto match = titleTag.match(html);
    return match.hasMatch() ? match.captured(1).simplified() : QString();
}

} // namespace

QString HelpRenderer::render(const QString& htmlPath, const QString& pdfPath) const {
    QFile source(htmlPath);
    if (!source.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2").arg(htmlPath, source.errorString());
    }
    const QString html = QString::fromUtf8(source.readAll());

    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(htmlPath).absolutePath() + QLatin1Char('/')));
    document.setHtml(html);
    if (document.isEmpty()) {
        return QStringLiteral("%1 has no text").arg(htmlPath);
    }

    QPdfWriter writer(pdfPath);
    writer.setPdfVersion(QPagedPaintDevice::PdfVersion_1_6);
    writer.setTitle(documentTitle(html));
    writer.setCreator(QStringLiteral("Quarry Recovery"));
    writer.setResolution(300);
    // The document adds its own 2 cm margin when it lays out the pages; keep
    // the writer's margin small so the text block stays a comfortable width.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(5, 5, 5, 5),
                                     QPageLayout::Millimeter));
    document.print(&writer);
    return {};
}

} // namespace quarry::resgen
