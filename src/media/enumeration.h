#pragma once

#include "media/media_record.h"
#include "media/volume_description.h"

#include <functional>
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

// A fuller source of media than the platform's own tables (a disk manager service that also
// knows unmounted volumes). It gives nothing when the service isn't there.
using EnumeratorProvider = std::function<std::unique_ptr<VolumeEnumerator>()>;

// Set once at start-up, before the media are first listed.
void setEnumeratorProvider(EnumeratorProvider provider);

// The media list of this machine: buildMediaList on the provider's enumerator when it gives
// one, otherwise on the platform enumerator.
std::vector<MyDataObject> listMountedMedia();

} // namespace quarry::media
