#pragma once

#include "common/unique_fd.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMap>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace quarry::udisks {

// Interfaces of one object, by interface name, each with its properties.
using InterfaceProperties = QMap<QString, QVariantMap>;
// Every object the disk manager exports, by object path.
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;

// The UDisks2 daemon on the system bus: what block devices it knows, and read-only descriptors of
// devices the user may not open, handed over once polkit has allowed it (asking for a password
// if its rules say so). Calls block and may come from any thread.
class UDisksClient {
public:
    UDisksClient();

    // Nothing when there is no system bus or no daemon on it.
    std::optional<ManagedObjects> managedObjects() const;

    // A descriptor for `devicePath` opened read-only with `extraFlags` (such as O_DIRECT) added;
    // invalid when the daemon does not know the device, is absent, or the user is refused.
    UniqueFd openDevice(const QString& devicePath, int extraFlags) const;

private:
    std::optional<QDBusObjectPath> blockObjectOf(const QString& devicePath) const;

    QDBusConnection bus_;
};

// The text of a D-Bus byte-string property (a device path), without its closing NUL.
QString byteString(const QVariant& value);

} // namespace quarry::udisks
