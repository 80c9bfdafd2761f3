#include "carving/mapped_region.h"
#include "carving/sector_source.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#if defined(__linux__)
#include <linux/fs.h>
#elif defined(__APPLE__)
#include <sys/disk.h>
#endif

namespace quarry::carving {

namespace {

// Owns one open file descriptor.
class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd& operator=(UniqueFd&&) = delete;
    ~UniqueFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

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

std::unique_ptr<SectorSource> openFileSource(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return nullptr;
    }
    const std::int64_t size = mediumSize(fd.get());
    if (size < 0) {
        return nullptr;
    }
    const auto sectors = static_cast<std::uint64_t>(size) / kSectorSize;
    return std::make_unique<FileSource>(std::move(fd), sectors);
}

} // namespace quarry::carving
