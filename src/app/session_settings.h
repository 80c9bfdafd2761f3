#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QSettings;

namespace quarry::app {

// The choices the application keeps from one run to the next: the last destination folder,
// the recovery mode, the thorough option, recently opened disk images, the window's geometry
// and the thumbnail size.
class SessionSettings {
public:
    // The user's settings of this application; a file path keeps them in that INI file instead.
    explicit SessionSettings(const QString& file = {});
    ~SessionSettings();

    QString lastDestination() const;
    void setLastDestination(const QString& folder);

    std::optional<int> mode() const;
    void setMode(int mode);

    // On unless the user turned it off.
    bool thorough() const;
    void setThorough(bool on);

    // Newest first, at most kRecentImages.
    QStringList recentImages() const;
    void addRecentImage(const QString& path);
    void removeRecentImage(const QString& path);
    static constexpr int kRecentImages = 8;

    QByteArray geometry() const;
    void setGeometry(const QByteArray& geometry);

    std::optional<int> thumbnailSize() const;
    void setThumbnailSize(int size);

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace quarry::app
