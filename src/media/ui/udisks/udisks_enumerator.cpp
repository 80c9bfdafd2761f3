#include "media/ui/udisks/udisks_enumerator.h"

#include "carving/sector_source.h"
#include "media/block_probe.h"

#include <QDBusArgument>
#include <QFileInfo>

namespace quarry::udisks {
namespace {

const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString kPartition = QStringLiteral("org.freedesktop.UDisks2.Partition");
const QString kPartitionTable = QStringLiteral("org.freedesktop.UDisks2.PartitionTable");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kLoop = QStringLiteral("org.freedesktop.UDisks2.Loop");

std::optional<std::string> nonEmpty(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional(text.toStdString());
}

bool hasMountPoints(const InterfaceProperties& object) {
    const auto filesystem = object.find(kFilesystem);
    if (filesystem == object.cend())
        return false;
    // An array of byte strings arrives undecoded.
    const QVariant points = filesystem->value(QStringLiteral("MountPoints"));
    if (points.canConvert<QDBusArgument>()) {
        const auto argument = points.value<QDBusArgument>();
        argument.beginArray();
        const bool any = !argument.atEnd();
        argument.endArray();
        return any;
    }
    return !points.toList().isEmpty();
}

std::string contentName(const InterfaceProperties& object, const QVariantMap& block) {
    const QString type = block.value(QStringLiteral("IdType")).toString();
    if (!type.isEmpty())
        return media::fileSystemDisplayName(
            type.toStdString(), block.value(QStringLiteral("IdVersion")).toString().toStdString());
    const auto table = object.find(kPartitionTable);
    if (table == object.cend())
        return {};
    const QString scheme = table->value(QStringLiteral("Type")).toString();
    return scheme == QStringLiteral("dos")   ? "MBR partition table"
           : scheme == QStringLiteral("gpt") ? "GUID partition table"
                                             : "Partition table";
}

} // namespace

UDisksEnumerator::UDisksEnumerator(ManagedObjects objects) : objects_(std::move(objects)) {}

std::vector<media::VolumeDescription> UDisksEnumerator::describeMountedVolumes() {
    std::vector<media::VolumeDescription> volumes;
    for (const auto& object : std::as_const(objects_)) {
        if (auto volume = describe(object))
            volumes.push_back(std::move(*volume));
    }
    return volumes;
}

QString UDisksEnumerator::deviceNameOf(const QDBusObjectPath& object) const {
    const auto found = objects_.find(object);
    if (found == objects_.cend())
        return {};
    return QFileInfo(byteString(found->value(kBlock).value(QStringLiteral("Device")))).fileName();
}

std::optional<media::VolumeDescription> UDisksEnumerator::describe(const InterfaceProperties& object) const {
    const auto block = object.find(kBlock);
    if (block == object.cend() || block->value(QStringLiteral("HintIgnore")).toBool())
        return std::nullopt;
    const auto bytes = block->value(QStringLiteral("Size")).toULongLong();
    const auto drive = block->value(QStringLiteral("Drive")).value<QDBusObjectPath>();
    const bool onDrive = objects_.contains(drive);
    // An empty card reader has no medium; a mapped device counts once it is mounted.
    if (bytes == 0 || (!onDrive && !object.contains(kLoop) && !hasMountPoints(object)))
        return std::nullopt;

    media::VolumeDescription volume;
    const QString name = QFileInfo(byteString(block->value(QStringLiteral("Device")))).fileName();
    volume.DeviceIdentifier = name.toStdString();
    volume.VolumeName = nonEmpty(block->value(QStringLiteral("IdLabel")).toString());
    volume.FilesystemUserVisibleName = contentName(object, *block);
    volume.IOKitSize = bytes;
    const auto partition = object.find(kPartition);
    const QString whole =
        partition == object.cend()
            ? name
            : deviceNameOf(partition->value(QStringLiteral("Table")).value<QDBusObjectPath>());
    volume.ParentWholeDisk = whole.toStdString();
    if (object.contains(kLoop))
        volume.BusProtocol = "Disk Image";
    if (onDrive) {
        const QVariantMap properties = objects_.value(drive).value(kDrive);
        // "optical_cd_r" and the like: upper case keeps "CD" findable.
        const QString media = properties.value(QStringLiteral("Media")).toString();
        if (properties.value(QStringLiteral("Optical")).toBool() &&
            media.startsWith(QStringLiteral("optical_")))
            volume.OpticalDeviceType = media.mid(8).toUpper().toStdString();
        // A whole drive without a labelled file system is known by its maker and model.
        if (!volume.VolumeName && partition == object.cend())
            volume.VolumeName = nonEmpty((properties.value(QStringLiteral("Vendor")).toString() + u' ' +
                                          properties.value(QStringLiteral("Model")).toString())
                                             .simplified());
    }
    return volume;
}

void useUDisksWhenPresent(std::function<void()> beforeAsking) {
    media::setEnumeratorProvider([]() -> std::unique_ptr<media::VolumeEnumerator> {
        auto objects = UDisksClient().managedObjects();
        if (!objects)
            return nullptr;
        return std::make_unique<UDisksEnumerator>(std::move(*objects));
    });
    carving::setPrivilegedOpener(
        [beforeAsking = std::move(beforeAsking)](const std::string& path, int extraFlags) {
            if (beforeAsking)
                beforeAsking();
            return UDisksClient().openDevice(QString::fromStdString(path), extraFlags);
        });
}

} // namespace quarry::udisks
