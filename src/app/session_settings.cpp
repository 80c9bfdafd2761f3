#include "app/session_settings.h"

#include <QSettings>

namespace quarry::app {
namespace {

const QString kDestination = QStringLiteral("destination/last");
const QString kMode = QStringLiteral("scan/mode");
const QString kThorough = QStringLiteral("scan/thorough");
const QString kRecentImagesKey = QStringLiteral("media/recentImages");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kThumbnailSize = QStringLiteral("browser/thumbnailSize");

std::optional<int> intValue(const QSettings& settings, const QString& key) {
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

SessionSettings::SessionSettings(const QString& file)
    : settings_(file.isEmpty()
                    ? std::make_unique<QSettings>(QStringLiteral("Quarry"), QStringLiteral("Quarry Recovery"))
                    : std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

SessionSettings::~SessionSettings() = default;

QString SessionSettings::lastDestination() const {
    return settings_->value(kDestination).toString();
}

void SessionSettings::setLastDestination(const QString& folder) {
    settings_->setValue(kDestination, folder);
}

std::optional<int> SessionSettings::mode() const {
    return intValue(*settings_, kMode);
}

void SessionSettings::setMode(int mode) {
    settings_->setValue(kMode, mode);
}

bool SessionSettings::thorough() const {
    return settings_->value(kThorough, true).toBool();
}

void SessionSettings::setThorough(bool on) {
    settings_->setValue(kThorough, on);
}

QStringList SessionSettings::recentImages() const {
    return settings_->value(kRecentImagesKey).toStringList();
}

void SessionSettings::addRecentImage(const QString& path) {
    QStringList images = recentImages();
    images.removeAll(path);
    images.prepend(path);
    while (images.size() > kRecentImages)
        images.removeLast();
    settings_->setValue(kRecentImagesKey, images);
}

void SessionSettings::removeRecentImage(const QString& path) {
    QStringList images = recentImages();
    images.removeAll(path);
    settings_->setValue(kRecentImagesKey, images);
}

QByteArray SessionSettings::geometry() const {
    return settings_->value(kGeometry).toByteArray();
}

void SessionSettings::setGeometry(const QByteArray& geometry) {
    settings_->setValue(kGeometry, geometry);
}

std::optional<int> SessionSettings::thumbnailSize() const {
    return intValue(*settings_, kThumbnailSize);
}

void SessionSettings::setThumbnailSize(int size) {
    settings_->setValue(kThumbnailSize, size);
}

} // namespace quarry::app
