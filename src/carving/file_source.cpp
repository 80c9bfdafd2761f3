#include "carving/sector_source.h"
#include "common/unique_fd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
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

#if defined(__linux__)
// Whether two descriptors are open on one file.
bool sameFile(int one, int other) {
    struct stat a {};
    struct stat b {};
    return ::fstat(one, &a) == 0 && ::fstat(other, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino &&
           a.st_rdev == b.st_rdev;
}
#endif

// Reads by offset, so a failed read leaves nothing to put back. Large reads straight into the
// caller's buffer cost the same however the page cache was filled (by a writer or by reads),
// where mapping pages cached from writes costs a fault per few pages; and a read error stays a
// failed read of its own sectors instead of a signal.
class FileSource final : public SectorSource {
public:
    FileSource(UniqueFd fd, std::uint64_t bytes, DirectReopen reopenDirect)
        : fd_(std::move(fd)), reopenDirect_(std::move(reopenDirect)), bytes_(bytes),
          sectors_((bytes + kSectorSize - 1) / kSectorSize) {
        // Doubles the kernel's read-ahead for the scan's sequential stream.
        ::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    std::uint64_t sectorCount() const override { return sectors_; }

    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        if (first > sectors_ || count > sectors_ - first) {
            return false;
        }
        if (readAt(fd_.get(), first * kSectorSize, count * kSectorSize, out)) {
            return true;
        }
        // The page cache reads and fails whole pages, eight sectors at once; a sector read
        // alone, past the cache, fails only if it is itself unreadable.
        return count == 1 && readAlone(first, out);
    }

private:
    // Reads `size` bytes at `offset`; the bytes of a part sector past the medium's end are zeros.
    bool readAt(int fd, std::uint64_t offset, std::size_t size, std::uint8_t* out) const {
        while (size > 0) {
            const ssize_t got = ::pread(fd, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got == 0 && offset >= bytes_) {
                std::memset(out, 0, size);
                return true;
            }
            if (got <= 0) {
                return false; // a read error, or a file shortened since it was opened
            }
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    bool readAlone(std::uint64_t sector, std::uint8_t* out) {
#if defined(__linux__)
        // Once, whatever thread meets the first failed sector: thumbnailers share a source.
        std::call_once(directOpened_, [this] {
            direct_ = std::make_unique<UniqueFd>(reopenDirect_());
            // A path opened again may name another file by now: only the same medium will do.
            if (direct_->get() >= 0 && !sameFile(fd_.get(), direct_->get())) {
                direct_->reset();
            }
        });
        alignas(4096) static thread_local std::uint8_t bounce[kSectorSize];
        if (direct_->get() < 0 || !readAt(direct_->get(), sector * kSectorSize, kSectorSize, bounce)) {
            return false;
        }
        std::memcpy(out, bounce, kSectorSize);
        return true;
#else
        (void)sector;
        (void)out;
        return false;
#endif
    }

    UniqueFd fd_;
    DirectReopen reopenDirect_;
    std::once_flag directOpened_;
    std::unique_ptr<UniqueFd> direct_; // opened at the first failed sector
    std::uint64_t bytes_;
    std::uint64_t sectors_;
};

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

PrivilegedOpener& privilegedOpener() {
    static PrivilegedOpener opener;
    return opener;
}

#if defined(__linux__)
constexpr int kPastTheCache = O_DIRECT;
#else
constexpr int kPastTheCache = 0; // sectors are re-read alone on Linux only
#endif

} // namespace

std::unique_ptr<SectorSource> openFileSource(const std::string& path) {
    std::string problem;
    return openFileSourceOrSayWhy(path, problem);
}

std::unique_ptr<SectorSource> openFileSourceOrSayWhy(const std::string& path, std::string& problem) {
    // O_NONBLOCK so a FIFO cannot hang the open; it is refused before anything reads it.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() >= 0) {
        return openFileSourceFromDescriptor(std::move(fd), problem);
    }
    const int error = errno;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (auto why = notAMedium(info)) {
            problem = std::move(*why);
            return nullptr;
        }
    }
    const PrivilegedOpener& opener = privilegedOpener();
    if ((error == EACCES || error == EPERM) && opener) {
        if (UniqueFd granted = opener(path, 0); granted.get() >= 0) {
            // Past the page cache through the same service, as the path can't be opened again.
            return openFileSourceFromDescriptor(std::move(granted), problem,
                                                [opener, path] { return opener(path, kPastTheCache); });
        }
    }
    problem = std::generic_category().message(error);
    return nullptr;
}

std::unique_ptr<SectorSource> openFileSourceFromDescriptor(UniqueFd fd, std::string& problem,
                                                           DirectReopen reopenDirect) {
    auto refuse = [&problem](std::string why) -> std::unique_ptr<SectorSource> {
        problem = std::move(why);
        return nullptr;
    };
    struct stat info {};
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
    if (!reopenDirect) {
        // The same open file once more, not whatever its path names now.
        reopenDirect = [self = "/proc/self/fd/" + std::to_string(fd.get())] {
            return UniqueFd(::open(self.c_str(), O_RDONLY | kPastTheCache | O_CLOEXEC));
        };
    }
    return std::make_unique<FileSource>(std::move(fd), static_cast<std::uint64_t>(size),
                                        std::move(reopenDirect));
}

void setPrivilegedOpener(PrivilegedOpener opener) {
    privilegedOpener() = std::move(opener);
}

} // namespace quarry::carving
