#include "media/block_probe.h"

namespace quarry::media {

// Without libblkid the media list and the disk-image line go without a file-system type.
std::optional<BlockProbe> probeBlockDevice(const std::string&, bool) {
    return std::nullopt;
}

} // namespace quarry::media
