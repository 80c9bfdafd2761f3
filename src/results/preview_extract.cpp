#include "results/preview_extract.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "results/saver.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarry::results {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const auto written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Unlinking first replaces a longer old file and drops a planted symbolic link; O_EXCL and
// O_NOFOLLOW then refuse anything that appears at the path in between.
int createPrivateFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return -1;
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    // The umask may have widened nothing, but a copy of someone's medium must stay private.
    if (fd >= 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        ::close(fd);
        ::unlink(path.c_str());
        return -1;
    }
    return fd;
}

} // namespace

std::string previewFilePath(const std::string& folder, const std::string& itemName) {
    std::string path = folder + "/dprv";
    const auto extension = itemExtension(itemName);
    if (!extension.empty() && extension.find_first_of("/\\") == std::string_view::npos &&
        extension.find('\0') == std::string_view::npos) {
        path += '.';
        path += extension;
    }
    return path;
}

PreviewExtractResult extractPreviewFile(carving::SectorSource& source, std::uint64_t start, std::uint64_t end,
                                        const std::string& path, const std::atomic<int>& stopFlag) {
    PreviewExtractResult result;
    FileDescriptor file(createPrivateFile(path));
    if (!file.valid())
        return result;
    result.created = true;

    std::array<std::uint8_t, kSectorSize> sector{};
    for (std::uint64_t i = start; i < end; ++i) {
        if (stopFlag.load() == 1) {
            result.stopped = true;
            break;
        }
        const auto read = carving::readSectorsOrZeros(source, i, 1, sector.data());
        result.unreadableSectors += read.unreadable;
        if (read.lost) {
            result.aborted = true;
            break;
        }
        if (!writeAll(file.get(), sector.data(), sector.size())) {
            result.aborted = true;
            break;
        }
        ++result.sectorsWritten;
    }
    return result;
}

} // namespace quarry::results
