#include "media/enumeration.h"

#if defined(__linux__)
#include "media/linux_enumerator.h"
#elif defined(__APPLE__)
#include "media/macos_enumerator.h"
#endif

namespace quarry::media {

#if !defined(__linux__) && !defined(__APPLE__)
namespace {

// Platforms without a backend list no media.
class NoVolumes : public VolumeEnumerator {
public:
    std::vector<VolumeDescription> describeMountedVolumes() override { return {}; }
};

} // namespace
#endif

VolumeEnumerator::~VolumeEnumerator() = default;

std::vector<MyDataObject> buildMediaList(VolumeEnumerator& enumerator) {
    std::vector<MyDataObject> records;
    for (const auto& volume : enumerator.describeMountedVolumes()) {
        if (auto record = makeMediaRecord(volume))
            records.push_back(std::move(*record));
    }
    return records;
}

std::unique_ptr<VolumeEnumerator> makePlatformEnumerator() {
#if defined(__linux__)
    return std::make_unique<LinuxVolumeEnumerator>();
#elif defined(__APPLE__)
    return std::make_unique<MacVolumeEnumerator>();
#else
    return std::make_unique<NoVolumes>();
#endif
}

std::vector<MyDataObject> listMountedMedia() {
    const auto enumerator = makePlatformEnumerator();
    return buildMediaList(*enumerator);
}

} // namespace quarry::media
