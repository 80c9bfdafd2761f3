#include "media/ui/udisks/udisks_client.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <QThread>
#include <fcntl.h>
#include <mutex>

Q_DECLARE_METATYPE(quarry::udisks::InterfaceProperties)
Q_DECLARE_METATYPE(quarry::udisks::ManagedObjects)

namespace quarry::udisks {
namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
constexpr int kListTimeoutMs = 10'000;
// Long enough for the user to read the password dialog and answer it.
constexpr int kPromptTimeoutMs = 10 * 60 * 1000;

void registerTypes() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        qDBusRegisterMetaType<InterfaceProperties>();
        qDBusRegisterMetaType<ManagedObjects>();
    });
}

QDBusMessage callBlock(const QDBusConnection& bus, const QDBusObjectPath& object, const QString& method,
                       const QVariantList& arguments) {
    auto call = QDBusMessage::createMethodCall(kService, object.path(), kBlock, method);
    call.setArguments(arguments);
    call.setInteractiveAuthorizationAllowed(true);
    // While the password is asked, a window still answers its compositor and repaints (input
    // waits), or the desktop would call it unresponsive.
    const bool windowThread =
        QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    return bus.call(call, windowThread ? QDBus::BlockWithGui : QDBus::Block, kPromptTimeoutMs);
}

} // namespace

QString byteString(const QVariant& value) {
    QByteArray bytes = value.toByteArray();
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

UDisksClient::UDisksClient() : bus_(QDBusConnection::systemBus()) {
    registerTypes();
}

std::optional<ManagedObjects> UDisksClient::managedObjects() const {
    if (!bus_.isConnected())
        return std::nullopt;
    const auto call =
        QDBusMessage::createMethodCall(kService, kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kListTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return qdbus_cast<ManagedObjects>(reply.arguments().constFirst());
}

std::optional<QDBusObjectPath> UDisksClient::blockObjectOf(const QString& devicePath) const {
    // UDisks 2.7 and later resolve a path themselves, symbolic links included.
    auto resolve = QDBusMessage::createMethodCall(kService, kRoot + QStringLiteral("/Manager"),
                                                  QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                                  QStringLiteral("ResolveDevice"));
    resolve.setArguments({QVariantMap{{QStringLiteral("path"), devicePath}}, QVariantMap{}});
    const QDBusMessage reply = bus_.call(resolve, QDBus::Block, kListTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const auto found = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().constFirst());
        return found.isEmpty() ? std::nullopt : std::optional(found.constFirst());
    }
    // Older daemons: the block whose device node is the one the path leads to.
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    const auto objects = managedObjects();
    if (!objects)
        return std::nullopt;
    for (auto object = objects->cbegin(); object != objects->cend(); ++object) {
        const auto block = object->find(kBlock);
        if (block == object->cend())
            continue;
        for (const auto* key : {"Device", "PreferredDevice"}) {
            const QString node = byteString(block->value(QString::fromLatin1(key)));
            if (!node.isEmpty() && (node == devicePath || node == target))
                return object.key();
        }
    }
    return std::nullopt;
}

UniqueFd UDisksClient::openDevice(const QString& devicePath, int extraFlags) const {
    if (!bus_.isConnected())
        return UniqueFd();
    const auto object = blockObjectOf(devicePath);
    if (!object)
        return UniqueFd();
    QVariantMap options{{QStringLiteral("auth.no_user_interaction"), false}};
    if (extraFlags != 0)
        options.insert(QStringLiteral("flags"), extraFlags);
    QDBusMessage reply =
        callBlock(bus_, *object, QStringLiteral("OpenDevice"), {QStringLiteral("r"), options});
    // Before 2.7.3 only a backup descriptor is offered, and without extra flags.
    if (reply.type() == QDBusMessage::ErrorMessage &&
        reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod") && extraFlags == 0) {
        options.remove(QStringLiteral("flags"));
        reply = callBlock(bus_, *object, QStringLiteral("OpenForBackup"), {options});
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return UniqueFd();
    const auto granted = qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!granted.isValid())
        return UniqueFd();
    // The message's descriptor closes with it; keep a copy of our own.
    return UniqueFd(::fcntl(granted.fileDescriptor(), F_DUPFD_CLOEXEC, 0));
}

} // namespace quarry::udisks
