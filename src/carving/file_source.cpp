#include "carving/mapped_region.h"
#include "carving/sector_source.h"
#include "common/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#if defined(__linux__)
#include <linux/fs.h>
#elif defined(__APPLE__)
#include <sys/disk.h>
#endif

namespace quarry::carving {

namespace {

// Size in bytes of an open regular file or device, or -1.
std::int64_t mediumSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        return -1;
    }
    if (S_ISREG(info.st_mode)) {
        return static_cast<std::int64_t>(info.st_size);
    }
#if defined(__linux__)
    if (S_ISBLK(info.st_mode)) {
        std::uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0) {
            return static_cast<std::int64_t>(bytes);
        }
    }
#elif defined(__APPLE__)
    if (S_ISBLK(info.st_mode) || S_ISCHR(info.st_mode)) {
        std::uint64_t blocks = 0;
        std::uint32_t blockSize = 0;
        if (::ioctl(fd, DKIOCGETBLOCKCOUNT, &blocks) == 0 &&
            ::ioctl(fd, DKIOCGETBLOCKSIZE, &blockSize) == 0) {
            return static_cast<std::int64_t>(blocks * blockSize);
        }
    }
#endif
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<std::int64_t>(end);
}

bool isRegularFile(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// Reads by offset, so a failed read leaves nothing to put back. A regular file is also
// offered in place; a device never is, as its read errors must stay failed reads.
class FileSource final : public SectorSource {
public:
    FileSource(UniqueFd fd, std::uint64_t sectors)
        : fd_(std::move(fd)), sectors_(sectors), regularFile_(isRegularFile(fd_.get())) {}

    std::uint64_t sectorCount() const override { return sectors_; }

    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first > sectors_ || count > sectors_ - first) {
            return false;
        }
        std::size_t remaining = count * kSectorSize;
        auto offset = static_cast<off_t>(first * kSectorSize);
        while (remaining > 0) {
            const ssize_t got = ::pread(fd_.get(), out, remaining, offset);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            out += got;
            offset += got;
            remaining -= static_cast<std::size_t>(got);
        }
        return true;
    }

    std::unique_ptr<SectorView> mapSectors(std::uint64_t first, std::size_t count) override {
        if (!regularFile_ || count == 0 || first > sectors_ || count > sectors_ - first) {
            return nullptr;
        }
        // Sectors the file no longer has are left to reads, which fail on them.
        struct stat info {};
        if (::fstat(fd_.get(), &info) != 0 ||
            static_cast<std::uint64_t>(info.st_size) < (first + count) * kSectorSize) {
            return nullptr;
        }
        return MappedRegion::map(fd_.get(), first * kSectorSize, count * kSectorSize);
    }

private:
    UniqueFd fd_;
    std::uint64_t sectors_;
    bool regularFile_;
};

} // namespace

namespace {

// Why an open file is no medium to scan, or nothing when it may be one.
std::optional<std::string> notAMedium(const struct stat& info) {
    if (S_ISFIFO(info.st_mode)) {
        return "a named pipe (FIFO) is not a medium; give a block device or an image file";
    }
    if (S_ISSOCK(info.st_mode)) {
        return "a socket is not a medium; give a block device or an image file";
    }
    if (S_ISDIR(info.st_mode)) {
        return "a folder is not a medium; give a block device or an image file";
    }
#if defined(__linux__)
    // Linux reads disks through block devices; a character device has no size to scan.
    if (S_ISCHR(info.st_mode)) {
        return "a character device has no sectors to scan; give a block device or an image file";
    }
#endif
    return std::nullopt;
}

} // namespace

std::unique_ptr<SectorSource> openFileSource(const std::string& path) {
    std::string problem;
    return openFileSourceOrSayWhy(path, problem);
}

std::unique_ptr<SectorSource> openFileSourceOrSayWhy(const std::string& path, std::string& problem) {
    auto refuse = [&problem](std::string why) -> std::unique_ptr<SectorSource> {
        problem = std::move(why);
        return nullptr;
    };
    // O_NONBLOCK so a FIFO cannot hang the open; it is refused below and cleared for the rest.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0) {
        const int error = errno;
        if (::stat(path.c_str(), &info) == 0) {
            if (auto why = notAMedium(info)) {
                return refuse(std::move(*why));
            }
        }
        return refuse(std::generic_category().message(error));
    }
    if (::fstat(fd.get(), &info) != 0) {
        return refuse(std::generic_category().message(errno));
    }
    if (auto why = notAMedium(info)) {
        return refuse(std::move(*why));
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return refuse(std::generic_category().message(errno));
    }
    const std::int64_t size = mediumSize(fd.get());
    if (size < 0) {
        return refuse("its size cannot be found");
    }
    const auto sectors = static_cast<std::uint64_t>(size) / kSectorSize;
    return std::make_unique<FileSource>(std::move(fd), sectors);
}

} // namespace quarry::carving
