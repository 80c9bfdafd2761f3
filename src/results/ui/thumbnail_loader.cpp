#include "results/ui/thumbnail_loader.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/ui/thumbnail.h"
#include "results/validated_saver.h"

namespace quarry::results {
namespace {

// Longest photo read again from the medium for its thumbnail.
constexpr std::uint64_t kMaxWholePhotoBytes = 64u << 20;

} // namespace

QByteArray photoThumbnail(const QByteArray& item, const std::string& name, std::uint64_t firstSector,
                          carving::SectorSource* medium, const QByteArray& placeholder, QSize* pictureSize) {
    if (medium != nullptr) {
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(item.constData()),
                                                  static_cast<std::size_t>(item.size()));
        if (const auto whole = wholePhotoFromMedium(name, bytes, firstSector, *medium, kMaxWholePhotoBytes))
            return makeThumbnail(QByteArray(reinterpret_cast<const char*>(whole->data()),
                                            static_cast<qsizetype>(whole->size())),
                                 placeholder, pictureSize);
    }
    return makeThumbnail(item, placeholder, pictureSize);
}

ThumbnailLoader::ThumbnailLoader(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(1);
}

ThumbnailLoader::~ThumbnailLoader() {
    pool_.clear();
    pool_.waitForDone();
}

void ThumbnailLoader::setMedium(std::shared_ptr<carving::SectorSource> medium,
                                const QByteArray& placeholder) {
    pool_.clear();
    std::lock_guard lock(mutex_);
    medium_ = std::move(medium);
    placeholder_ = placeholder;
    ++generation_;
    requested_.clear();
}

void ThumbnailLoader::request(int row, const MyImageObject& item) {
    if (!item.thumbnailPending || !requested_.insert(row).second)
        return;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(mutex_);
        generation = generation_;
    }
    const std::string name = item.image_Name.toStdString();
    pool_.start([this, row, generation, name, first = item.photoFirstSector, end = item.photoEndSector] {
        std::shared_ptr<carving::SectorSource> medium;
        QByteArray placeholder;
        {
            std::lock_guard lock(mutex_);
            if (generation != generation_)
                return;
            medium = medium_;
            placeholder = placeholder_;
        }
        QByteArray thumbnail = placeholder;
        if (medium && end > first) {
            QByteArray bytes(static_cast<qsizetype>((end - first) * kSectorSize), '\0');
            carving::readSectorsOrZeros(*medium, first, end - first,
                                        reinterpret_cast<std::uint8_t*>(bytes.data()));
            thumbnail = photoThumbnail(bytes, name, first, medium.get(), placeholder, nullptr);
        }
        QMetaObject::invokeMethod(
            this,
            [this, row, generation, name = QString::fromStdString(name), thumbnail] {
                if (generation == generation_)
                    emit thumbnailReady(row, name, thumbnail);
            },
            Qt::QueuedConnection);
    });
}

} // namespace quarry::results
