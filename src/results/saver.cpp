#include "results/saver.h"

#include "carving/sector_source.h"
#include "common/sector.h"
#include "common/unique_fd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quarry::results {
namespace {

std::string errnoText(int error) {
    if (error == ELOOP)
        return "a symbolic link stands where a results folder should be, and saving never follows one";
    return std::system_category().message(error);
}

constexpr std::string_view kPartialPrefix = ".quarry-partial-";

// The folders from the destination down to the results folder.
std::vector<std::string> resultsFolders(SearchKind kind) {
    return {"Quarry (Vez) Results", searchFolderName(kind), "General Recovery Results"};
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
            auto candidate = dir / (std::string(kPartialPrefix) + std::to_string(::getpid()) + "-" +
                                    std::to_string(sequence.fetch_add(1)));
            fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
    auto folder = destination;
    for (const auto& name : resultsFolders(kind))
        folder /= name;
    return folder;
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
    : destination_(destination), kind_(kind), folder_(resultsFolder(destination, kind)),
      fileSystem_(fileSystem) {}

namespace {

bool outOfSpace(int error) {
    return error == ENOSPC || error == EDQUOT;
}

// Opens `destination` as the user named it (links followed, made when missing), then each of
// `below` inside it, made when missing and never followed when it is a symbolic link (ELOOP).
// 0 or an errno value; `reached` is the folder opened last or the one that failed.
int openFolders(const std::filesystem::path& destination, const std::vector<std::string>& below, UniqueFd& fd,
                std::filesystem::path& reached) {
    reached = destination;
    std::error_code ec;
    std::filesystem::create_directories(destination, ec);
    fd.reset(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    for (const auto& name : below) {
        reached /= name;
        if (::mkdirat(fd.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
            return errno;
        UniqueFd next(::openat(fd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            // Linux reports a link there as "not a directory"; say what it is.
            const int error = errno;
            struct stat info {};
            const bool link =
                ::fstatat(fd.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
            return link ? ELOOP : error;
        }
        fd = std::move(next);
    }
    return 0;
}

// Creates the item's folder (`subfolder`, or the one named by its extension) and checks that
// `size` bytes fit there with the margin to spare; 0 or an errno value (ENOSPC when they don't fit).
int prepareFolder(const std::filesystem::path& destination, SearchKind kind, std::string_view name,
                  std::string_view subfolder, std::uint64_t size, SaveFileSystem& fileSystem,
                  std::filesystem::path& dir) {
    auto folders = resultsFolders(kind);
    folders.push_back(safePathComponent(subfolder.empty() ? itemExtension(name) : subfolder));
    UniqueFd fd;
    if (const int error = openFolders(destination, folders, fd, dir))
        return error;
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

SaveResult ItemSaver::saveBytes(std::string_view name, std::span<const std::uint8_t> bytes,
                                std::string_view subfolder) {
    if (full_)
        return refuseFull();
    std::filesystem::path dir;
    if (const int error = prepareFolder(destination_, kind_, name, subfolder, bytes.size(), fileSystem_, dir);
        error != 0)
        return failed("cannot create a file in " + dir.string(), error);
    PartialFile file(fileSystem_);
    if (const int error = file.create(dir); error != 0)
        return failed("cannot create a file in " + dir.string(), error);
    if (const int error = file.write(bytes.data(), bytes.size()); error != 0)
        return failed("cannot write", error);
    return finish(file, dir, name, bytes.size());
}

SaveResult ItemSaver::saveFromSource(std::string_view name, carving::SectorSource& source,
                                     std::uint64_t start, std::uint64_t bytes, std::string_view subfolder) {
    if (full_)
        return refuseFull();
    std::filesystem::path dir;
    if (const int error = prepareFolder(destination_, kind_, name, subfolder, bytes, fileSystem_, dir);
        error != 0)
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

SaveResult ItemSaver::moveTo(const std::filesystem::path& saved, const std::vector<std::string>& folders,
                             std::string_view name, std::optional<std::int64_t> mtime) {
    auto below = resultsFolders(kind_);
    for (const auto& folder : folders)
        below.push_back(safePathComponent(folder));
    UniqueFd fd;
    std::filesystem::path dir;
    if (const int error = openFolders(destination_, below, fd, dir))
        return failure("cannot create the folder " + dir.string(), error);
    const std::string safe = safePathComponent(name);
    for (unsigned n = 1; n < 1000000; ++n) {
        const std::string target = n == 1 ? safe : numberedName(safe, n);
        // Saved there under that name already: it only needs its date.
        const int error = saved == dir / target ? 0 : renameNoReplace(saved, dir / target);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return failure("cannot move " + saved.string(), error);
        SaveResult result;
        struct stat info {};
        if (mtime) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*mtime), 0}};
            ::utimensat(fd.get(), target.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        result.ok = true;
        result.path = dir / target;
        result.bytes = ::fstatat(fd.get(), target.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
                           ? static_cast<std::uint64_t>(info.st_size)
                           : 0;
        ::fsync(fd.get());
        return result;
    }
    return failure("cannot move " + saved.string(), EEXIST);
}

SaveResult ItemSaver::saveSectors(std::string_view name, carving::SectorSource& source, std::uint64_t start,
                                  std::uint64_t end) {
    return saveFromSource(name, source, start, end > start ? (end - start) * kSectorSize : 0);
}

namespace {

// When process `pid` started, in seconds since the epoch; nothing when unknown.
std::optional<std::int64_t> processStart(pid_t pid) {
#if defined(__linux__)
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    // After the command name: the state is field 3 and the start time, in clock ticks after
    // boot, is field 22.
    std::istringstream fields(line.substr(nameEnd + 1));
    std::string field;
    for (int n = 3; n <= 22; ++n)
        fields >> field;
    std::ifstream system("/proc/stat");
    std::string key;
    std::int64_t bootTime = -1;
    while (system >> key)
        if (key == "btime" && system >> bootTime)
            break;
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (!fields || bootTime < 0 || ticks <= 0)
        return std::nullopt;
    return bootTime + static_cast<std::int64_t>(std::strtoull(field.c_str(), nullptr, 10) / ticks);
#else
    (void)pid;
    return std::nullopt;
#endif
}

// A partial file named by a run that no longer exists: its process is gone, or the number now
// belongs to a process started after the file was last written.
bool leftByAKilledRun(std::string_view name, const struct stat& file) {
    if (!name.starts_with(kPartialPrefix) || !S_ISREG(file.st_mode))
        return false;
    name.remove_prefix(kPartialPrefix.size());
    const auto dash = name.find('-');
    const std::string digits(name.substr(0, dash));
    if (dash == std::string_view::npos || digits.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
        return false;
    const auto pid = static_cast<pid_t>(std::stol(digits));
    if (pid == ::getpid())
        return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH)
        return true;
    const auto started = processStart(pid);
    return started && *started > static_cast<std::int64_t>(file.st_mtime) + 1;
}

// A listing of the open folder `fd`, which stays open; null when it cannot be read.
std::unique_ptr<DIR, int (*)(DIR*)> listing(int fd) {
    const int copy = ::dup(fd);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (!dir && copy >= 0)
        ::close(copy);
    return {dir, &::closedir};
}

// Removes the partial files of killed runs from the folders inside `results` (one per
// extension), never following a link.
void removeStalePartials(int results) {
    const auto folders = listing(results);
    while (const dirent* entry = folders ? ::readdir(folders.get()) : nullptr) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        UniqueFd folder(::openat(results, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const auto files = listing(folder.get());
        while (const dirent* file = files ? ::readdir(files.get()) : nullptr) {
            struct stat info {};
            if (::fstatat(folder.get(), file->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                leftByAKilledRun(file->d_name, info))
                ::unlinkat(folder.get(), file->d_name, 0);
        }
    }
}

} // namespace

std::string ItemSaver::prepareDestination() {
    UniqueFd results;
    std::filesystem::path reached;
    if (const int error = openFolders(destination_, resultsFolders(kind_), results, reached))
        return "cannot create the folder " + reached.string() + ": " + errnoText(error);
    removeStalePartials(results.get());

    const std::string probe = ".quarry-probe-" + std::to_string(::getpid());
    UniqueFd file(
        ::openat(results.get(), probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    int error = file.get() < 0 ? errno : 0;
    if (file.get() >= 0) {
        if (::write(file.get(), "q", 1) != 1)
            error = errno != 0 ? errno : EIO;
        file.reset();
        ::unlinkat(results.get(), probe.c_str(), 0);
    }
    if (error != 0)
        return "cannot write in " + folder_.string() + ": " + errnoText(error);
    return {};
}

} // namespace quarry::results
