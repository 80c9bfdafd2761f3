#include "results/ui/file_icons.h"

#include "results/saver.h"

#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStandardPaths>

namespace quarry::results {
namespace {

QPixmap drawDocument(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal margin = side * 0.12;
    const QRectF page(margin, side * 0.04, side - 2 * margin, side * 0.92);
    const qreal fold = page.width() * 0.3;
    QPainterPath outline;
    outline.moveTo(page.topLeft());
    outline.lineTo(page.right() - fold, page.top());
    outline.lineTo(page.right(), page.top() + fold);
    outline.lineTo(page.bottomRight());
    outline.lineTo(page.bottomLeft());
    outline.closeSubpath();
    const qreal pen = std::max(1.0, side / 32.0);
    painter.setPen(QPen(QColor(0x5a, 0x6b, 0x7d), pen));
    painter.setBrush(QColor(0xf4, 0xf6, 0xf8));
    painter.drawPath(outline);

    QPainterPath corner;
    corner.moveTo(page.right() - fold, page.top());
    corner.lineTo(page.right() - fold, page.top() + fold);
    corner.lineTo(page.right(), page.top() + fold);
    painter.setBrush(QColor(0xc9, 0xd2, 0xdc));
    painter.drawPath(corner);

    // Text lines, from 32 pixels up, so small sizes stay clean.
    if (side >= 32) {
        painter.setPen(QPen(QColor(0x8f, 0x9c, 0xaa), pen));
        for (qreal y = page.top() + fold + side * 0.1; y < page.bottom() - side * 0.08; y += side * 0.1)
            painter.drawLine(QPointF(page.left() + side * 0.08, y), QPointF(page.right() - side * 0.08, y));
    }
    return pixmap;
}

} // namespace

void setupIconTheme() {
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() +
                               QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, "icons",
                                                         QStandardPaths::LocateDirectory));
    QIcon::setThemeName("breeze");
    QIcon::setFallbackThemeName("Adwaita");
}

QIcon fallbackFileIcon() {
    static const QIcon icon = [] {
        QIcon drawn;
        for (int side : {16, 24, 32, 48, 64, 128, 256})
            drawn.addPixmap(drawDocument(side));
        return drawn;
    }();
    return icon;
}

QIcon fileTypeIcon(const QString& extension) {
    static QHash<QString, QIcon> cache;
    const QString key = extension.toLower();
    if (const auto it = cache.constFind(key); it != cache.constEnd())
        return *it;

    setupIconTheme();
    QIcon icon;
    if (!key.isEmpty()) {
        // Our family records name no MIME type; their files are office documents.
        const QString lookup = key == "ole"     ? QStringLiteral("doc")
                               : key == "ooxml" ? QStringLiteral("docx")
                                                : key;
        const QMimeType type =
            QMimeDatabase().mimeTypeForFile("file." + lookup, QMimeDatabase::MatchExtension);
        if (!type.isDefault())
            icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    }
    // A theme of SVG icons draws nothing without the SVG image plugin.
    if (icon.isNull() || icon.pixmap(QSize(16, 16)).isNull())
        icon = fallbackFileIcon();
    cache.insert(key, icon);
    return icon;
}

QString nameExtension(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    const auto extension =
        itemExtension(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    return QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size()));
}

} // namespace quarry::results
