#pragma once

#include "media/enumeration.h"
#include "media/ui/udisks/udisks_client.h"

namespace quarry::udisks {

// The media the UDisks2 daemon knows: whole drives and their partitions, mounted or not, and
// cards without a partition table, described from its Block, Partition, Filesystem and Drive
// properties.
class UDisksEnumerator : public media::VolumeEnumerator {
public:
    explicit UDisksEnumerator(ManagedObjects objects);

    std::vector<media::VolumeDescription> describeMountedVolumes() override;

private:
    std::optional<media::VolumeDescription> describe(const InterfaceProperties& object) const;
    QString deviceNameOf(const QDBusObjectPath& object) const;

    ManagedObjects objects_;
};

// From now on the media list comes from UDisks2 and media the user may not open directly are
// opened through it, whenever the daemon answers at the time; otherwise things go on as
// without it. `beforeAsking` runs before each request to open a device. Call once at
// start-up, once a QCoreApplication exists.
void useUDisksWhenPresent(std::function<void()> beforeAsking = {});

} // namespace quarry::udisks
