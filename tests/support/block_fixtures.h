#pragma once

// Real small file systems and loop devices for tests that run as root; each test skips when
// the machine won't give them.

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <linux/loop.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace quarry::test {

// A tmpfs of a given size mounted on an empty folder, unmounted when it goes.
class TinyFileSystem {
public:
    TinyFileSystem(const std::filesystem::path& folder, const std::string& size) : folder_(folder) {
        std::filesystem::create_directories(folder_);
        const auto options = "size=" + size + ",mode=0755";
        mounted_ = ::geteuid() == 0 && ::mount("quarry-test", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                                               options.c_str()) == 0;
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;
    ~TinyFileSystem() {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

// A loop device attached read-only to an image file, detached again when it goes.
class LoopDevice {
public:
    explicit LoopDevice(const std::filesystem::path& image) {
        image_ = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
        const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
        // Another process may take the free device first.
        for (int attempt = 0; image_ >= 0 && control >= 0 && attempt < 5 && device_ < 0; ++attempt) {
            const int number = ::ioctl(control, LOOP_CTL_GET_FREE);
            if (number < 0)
                break;
            path_ = "/dev/loop" + std::to_string(number);
            const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            loop_config config{};
            config.fd = static_cast<std::uint32_t>(image_);
            config.info.lo_flags = LO_FLAGS_READ_ONLY | LO_FLAGS_AUTOCLEAR;
            if (::ioctl(fd, LOOP_CONFIGURE, &config) == 0)
                device_ = fd;
            else
                ::close(fd);
        }
        if (control >= 0)
            ::close(control);
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;
    ~LoopDevice() {
        if (device_ >= 0) {
            ::ioctl(device_, LOOP_CLR_FD, 0);
            ::close(device_);
        }
        if (image_ >= 0)
            ::close(image_);
    }
    bool attached() const { return device_ >= 0; }
    const std::string& path() const { return path_; }

private:
    int image_ = -1;
    int device_ = -1;
    std::string path_;
};

} // namespace quarry::test
