#pragma once

#include <QIcon>
#include <QString>

namespace quarry::results {

// Makes the desktop's MIME-type icons reachable where the platform names no icon theme
// (offscreen, bare X servers): the standard icon folders, breeze, then Adwaita. A theme the
// desktop already chose is kept. Idempotent; GUI thread.
void setupIconTheme();

// Our own document icon, drawn in code, for types the icon theme has nothing for.
QIcon fallbackFileIcon();

// The icon for files with this extension ("jpg", "PDF", "" for none): the icon theme's icon
// for the extension's MIME type, else its generic one, else ours; never null. GUI thread.
QIcon fileTypeIcon(const QString& extension);

// itemExtension for a QString name.
QString nameExtension(const QString& name);

} // namespace quarry::results
