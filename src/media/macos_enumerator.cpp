#include "media/macos_enumerator.h"

#include "common/unique_fd.h"
#include "media/plist_parser.h"

#include <array>
#include <cerrno>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quarry::media {
namespace {

class SpawnActions {
public:
    SpawnActions() { posix_spawn_file_actions_init(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

std::vector<std::string> mountedLocalVolumePaths() {
    const int count = getfsstat(nullptr, 0, MNT_NOWAIT);
    if (count <= 0)
        return {};
    std::vector<struct statfs> mounts(static_cast<std::size_t>(count));
    const int filled =
        getfsstat(mounts.data(), static_cast<int>(mounts.size() * sizeof(struct statfs)), MNT_NOWAIT);
    std::vector<std::string> paths;
    for (int i = 0; i < filled && i < count; ++i) {
        if (mounts[static_cast<std::size_t>(i)].f_flags & MNT_LOCAL)
            paths.emplace_back(mounts[static_cast<std::size_t>(i)].f_mntonname);
    }
    return paths;
}

// The standard output of "diskutil info -plist <path>", read to its end; nothing when the
// tool can't be started.
std::optional<std::string> diskutilInfo(const std::string& mountPath) {
    std::array<int, 2> ends{};
    if (pipe(ends.data()) != 0)
        return std::nullopt;
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    SpawnActions actions;
    posix_spawn_file_actions_addclose(actions.get(), readEnd.get());
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(actions.get(), writeEnd.get());

    std::string tool = "/usr/sbin/diskutil";
    std::string info = "info";
    std::string plist = "-plist";
    std::string path = mountPath;
    std::array<char*, 5> argv{tool.data(), info.data(), plist.data(), path.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, tool.c_str(), actions.get(), nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    writeEnd.reset();

    std::string output;
    std::array<char, 4096> buffer{};
    for (;;) {
        const auto got = read(readEnd.get(), buffer.data(), buffer.size());
        if (got > 0)
            output.append(buffer.data(), static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    readEnd.reset();
    // Reaped so that nothing of the tool remains; its status says nothing we use.
    int status = 0;
    pid_t reaped = 0;
    do {
        reaped = waitpid(child, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    return output;
}

} // namespace

std::vector<VolumeDescription> MacVolumeEnumerator::describeMountedVolumes() {
    std::vector<VolumeDescription> volumes;
    for (const auto& path : mountedLocalVolumePaths()) {
        if (const auto output = diskutilInfo(path))
            volumes.push_back(describeFromDiskutilPlist(*output));
    }
    return volumes;
}

} // namespace quarry::media
