#pragma once

// A made-up machine for the block-device code: <root>/sys, <root>/dev and <root>/mountinfo.

#include "media/linux_enumerator.h"

#include <filesystem>
#include <string>

namespace quarry::test {

class FakeMachine {
public:
    explicit FakeMachine(const std::filesystem::path& root);

    // A device folder under sys/ (e.g. "devices/virtual/block/loop3") with its size in sectors,
    // linked as sys/dev/block/<number> and sys/class/block/<its name>.
    void addDevice(const std::filesystem::path& folder, const std::string& number,
                   const std::string& sectors);
    // A partition: a device whose folder also holds its partition number.
    void addPartition(const std::filesystem::path& folder, const std::string& number,
                      const std::string& sectors, const std::string& partitionNumber);
    void setMountInfo(const std::string& text);

    std::filesystem::path sys() const { return paths_.sysRoot; }
    const media::LinuxSystemPaths& paths() const { return paths_; }

private:
    media::LinuxSystemPaths paths_;
};

} // namespace quarry::test
