#include "common/resource_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#include <vector>
#endif

namespace quarry {
namespace {

std::filesystem::path executablePath() {
#if defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return {};
    return std::filesystem::path(buffer.data());
#else
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
#endif
}

} // namespace

std::string defaultResourceFolder() {
    if (const char* overridden = std::getenv("QUARRY_RESOURCES"); overridden && *overridden)
        return overridden;
    const auto exe = executablePath();
    if (exe.empty())
        return QUARRY_RESOURCE_SUBDIR;
    std::error_code ec;
    auto folder = std::filesystem::weakly_canonical(exe.parent_path() / ".." / QUARRY_RESOURCE_SUBDIR, ec);
    if (ec)
        folder = exe.parent_path() / ".." / QUARRY_RESOURCE_SUBDIR;
    return folder.string();
}

} // namespace quarry
