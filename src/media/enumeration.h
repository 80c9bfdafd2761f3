#pragma once

#include "media/media_record.h"
#include "media/volume_description.h"

#include <memory>
#include <vector>

namespace quarry::media {

// Describes the mounted local volumes of the machine, in the order the platform reports them.
class VolumeEnumerator {
public:
    virtual ~VolumeEnumerator();
    virtual std::vector<VolumeDescription> describeMountedVolumes() = 0;
};

// One record per listable volume, in the enumerator's order.
std::vector<MyDataObject> buildMediaList(VolumeEnumerator& enumerator);

// The enumerator of the platform this was built for.
std::unique_ptr<VolumeEnumerator> makePlatformEnumerator();

// The media list of this machine: buildMediaList on the platform enumerator.
std::vector<MyDataObject> listMountedMedia();

} // namespace quarry::media
