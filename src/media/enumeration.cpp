#include "media/enumeration.h"

#if defined(__linux__)
#include "media/linux_enumerator.h"
#elif defined(__APPLE__)
#include "media/macos_enumerator.h"
#endif

namespace quarry::media {

namespace {

EnumeratorProvider& enumeratorProvider() {
    static EnumeratorProvider provider;
    return provider;
}

#if !defined(__linux__) && !defined(__APPLE__)

// Platforms without a backend list no media.
class NoVolumes : public VolumeEnumerator {
public:
    std::vector<VolumeDescription> describeMountedVolumes() override { return {}; }
};

#endif

} // namespace

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

void setEnumeratorProvider(EnumeratorProvider provider) {
    enumeratorProvider() = std::move(provider);
}

std::vector<MyDataObject> listMountedMedia() {
    std::unique_ptr<VolumeEnumerator> enumerator;
    if (const auto& provider = enumeratorProvider())
        enumerator = provider();
    if (!enumerator)
        enumerator = makePlatformEnumerator();
    return buildMediaList(*enumerator);
}

} // namespace quarry::media
