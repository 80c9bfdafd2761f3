#include "results/saver.h"

#include "carving/sector_source.h"
#include "common/sector.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quarry::results {
namespace {

std::string errnoText(int error) {
    return std::system_category().message(error);
}

// Renames without replacing an existing file; returns 0 or an errno value (EEXIST when taken).
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#if defined(__linux__)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#elif defined(__APPLE__)
    if (::renamex_np(from.c_str(), to.c_str(), RENAME_EXCL) == 0)
        return 0;
    if (errno != ENOTSUP)
        return errno;
#endif
    // File systems without an exclusive rename: a hard link fails the same way on a taken name.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

} // namespace

// A file being written under a temporary name; removed unless it was published.
class PartialFile {
public:
    explicit PartialFile(SaveFileSystem& fileSystem) : fileSystem_(fileSystem) {}
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    ~PartialFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }

    // 0 or an errno value.
    int create(const std::filesystem::path& dir) {
        static std::atomic<unsigned> sequence{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            auto candidate = dir / (".quarry-partial-" + std::to_string(::getpid()) + "-" +
                                    std::to_string(sequence.fetch_add(1)));
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                path_ = std::move(candidate);
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    int write(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const auto written = fileSystem_.write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (written == 0)
                return EIO;
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return 0;
    }

    // Flushes the data to the disk, closes the file and gives it the first free name among
    // `name`, "name (2)", …; the folder is flushed after, so the name lasts too.
    int publish(const std::filesystem::path& dir, std::string_view name, std::filesystem::path& published) {
        const int fd = fd_;
        fd_ = -1;
        if (::fdatasync(fd) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (::close(fd) != 0)
            return errno;
        for (unsigned n = 1; n < 1000000; ++n) {
            auto target = dir / (n == 1 ? std::string(name) : numberedName(name, n));
            const int error = renameNoReplace(path_, target);
            if (error == EEXIST)
                continue;
            if (error != 0)
                return error;
            path_.clear();
            published = std::move(target);
            return syncFolder(dir);
        }
        return EEXIST;
    }

private:
    static int syncFolder(const std::filesystem::path& dir) {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return errno;
        // Some file systems cannot flush a folder; their renames are as durable as they get.
        const int error = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP ? 0 : errno;
        ::close(fd);
        return error;
    }

    SaveFileSystem& fileSystem_;
    int fd_ = -1;
    std::filesystem::path path_;
};

namespace {

class SystemFileSystem final : public SaveFileSystem {
public:
    std::optional<std::uint64_t> availableBytes(const std::filesystem::path& folder) override {
        struct statvfs info {};
        if (::statvfs(folder.c_str(), &info) != 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override { return ::write(fd, data, size); }
};

SaveResult failure(std::string_view what, int error) {
    SaveResult result;
    result.error = std::string(what) + ": " + errnoText(error);
    return result;
}

} // namespace

const char* searchFolderName(SearchKind kind) {
    switch (kind) {
    case SearchKind::Photo:
        return "Photo Search";
    case SearchKind::Video:
        return "Video Search";
    case SearchKind::File:
        return "File Search";
    }
    return "File Search";
}

std::filesystem::path resultsFolder(const std::filesystem::path& destination, SearchKind kind) {
    return destination / "Quarry (Vez) Results" / searchFolderName(kind) / "General Recovery Results";
}

SaveFileSystem& systemFileSystem() {
    static SystemFileSystem system;
    return system;
}

std::string safePathComponent(std::string_view name) {
    std::string safe(name);
    std::replace_if(
        safe.begin(), safe.end(), [](char c) { return c == '/' || c == '\0'; }, '_');
    if (safe.empty() || safe == ".")
        return "_";
    if (safe == "..")
        return "__";
    return safe;
}

std::string_view itemExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string numberedName(std::string_view name, unsigned n) {
    const auto suffix = " (" + std::to_string(n) + ")";
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return std::string(name) + suffix;
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

ItemSaver::ItemSaver(const std::filesystem::path& destination, SearchKind kind, SaveFileSystem& fileSystem)
    : folder_(resultsFolder(destination, kind)), fileSystem_(fileSystem) {}

namespace {

bool outOfSpace(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// Creates the item's extension folder and checks that `size` bytes fit there with the margin
// to spare; 0 or an errno value (ENOSPC when they don't fit).
int prepareFolder(const std::filesystem::path& folder, std::string_view name, std::uint64_t size,
                  SaveFileSystem& fileSystem, std::filesystem::path& dir) {
    dir = folder / safePathComponent(itemExtension(name));
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return ec.value();
    const auto available = fileSystem.availableBytes(dir);
    if (available && (*available < kFreeSpaceMargin || *available - kFreeSpaceMargin < size))
        return ENOSPC;
    return 0;
}

} // namespace

SaveResult ItemSaver::refuseFull() const {
    SaveResult result;
    result.destinationFull = true;
    result.error = "the destination disk is full";
    return result;
}

SaveResult ItemSaver::finish(PartialFile& file, const std::filesystem::path& dir, std::string_view name,
                             std::uint64_t bytes) {
    SaveResult result;
    if (const int error = file.publish(dir, safePathComponent(name), result.path); error != 0)
        return failed("cannot complete the file", error);
    result.ok = true;
    result.bytes = bytes;
    return result;
}

SaveResult ItemSaver::failed(std::string_view what, int error) {
    if (outOfSpace(error)) {
        full_ = true;
        return refuseFull();
    }
    return failure(what, error);
}

SaveResult ItemSaver::saveBytes(std::string_view name, std::span<const std::uint8_t> bytes) {
    if (full_)
        return refuseFull();
    std::filesystem::path dir;
    if (const int error = prepareFolder(folder_, name, bytes.size(), fileSystem_, dir); error != 0)
        return failed("cannot create a file in " + dir.string(), error);
    PartialFile file(fileSystem_);
    if (const int error = file.create(dir); error != 0)
        return failed("cannot create a file in " + dir.string(), error);
    if (const int error = file.write(bytes.data(), bytes.size()); error != 0)
        return failed("cannot write", error);
    return finish(file, dir, name, bytes.size());
}

SaveResult ItemSaver::saveFromSource(std::string_view name, carving::SectorSource& source,
                                     std::uint64_t start, std::uint64_t bytes) {
    if (full_)
        return refuseFull();
    std::filesystem::path dir;
    if (const int error = prepareFolder(folder_, name, bytes, fileSystem_, dir); error != 0)
        return failed("cannot create a file in " + dir.string(), error);
    PartialFile file(fileSystem_);
    if (const int error = file.create(dir); error != 0)
        return failed("cannot create a file in " + dir.string(), error);

    constexpr std::size_t kBlockSectors = 2048;
    std::vector<std::uint8_t> block(kBlockSectors * kSectorSize);
    std::uint64_t unreadable = 0;
    for (std::uint64_t offset = 0; offset < bytes;) {
        if (stopRequested_ && stopRequested_()) {
            SaveResult stopped;
            stopped.stopped = true;
            stopped.error = "stopped";
            return stopped;
        }
        const std::uint64_t sector = start + offset / kSectorSize;
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(kBlockSectors, (bytes - offset + kSectorSize - 1) / kSectorSize));
        unreadable += carving::readSectorsOrZeros(source, sector, count, block.data()).unreadable;
        const auto chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(count * kSectorSize, bytes - offset));
        if (const int error = file.write(block.data(), chunk); error != 0)
            return failed("cannot write", error);
        offset += chunk;
    }
    auto result = finish(file, dir, name, bytes);
    result.unreadableSectors = unreadable;
    return result;
}

SaveResult ItemSaver::saveSectors(std::string_view name, carving::SectorSource& source, std::uint64_t start,
                                  std::uint64_t end) {
    return saveFromSource(name, source, start, end > start ? (end - start) * kSectorSize : 0);
}

} // namespace quarry::results
