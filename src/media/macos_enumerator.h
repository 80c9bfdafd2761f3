#pragma once

#include "media/enumeration.h"

namespace quarry::media {

// Mounted local volumes, each described by "diskutil info -plist".
class MacVolumeEnumerator : public VolumeEnumerator {
public:
    std::vector<VolumeDescription> describeMountedVolumes() override;
};

} // namespace quarry::media
