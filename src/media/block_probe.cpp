#include "media/block_probe.h"

#include <array>
#include <blkid.h>
#include <memory>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <utility>

namespace quarry::media {
namespace {

struct ProbeDeleter {
    void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using ProbeHandle = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

std::optional<std::string> lookup(blkid_probe probe, const char* name) {
    const char* value = nullptr;
    std::size_t length = 0;
    if (blkid_probe_lookup_value(probe, name, &value, &length) != 0 || !value)
        return std::nullopt;
    // The length counts the terminating NUL.
    return std::string(value, length > 0 ? length - 1 : 0);
}

// MMC GET CONFIGURATION: the feature header carries the current profile.
std::optional<std::uint16_t> currentProfile(int fd) {
    std::array<unsigned char, 10> command{0x46, 0x02, 0, 0, 0, 0, 0, 0, 8, 0};
    std::array<unsigned char, 8> header{};
    std::array<unsigned char, 32> sense{};
    sg_io_hdr_t io{};
    io.interface_id = 'S';
    io.dxfer_direction = SG_DXFER_FROM_DEV;
    io.cmd_len = static_cast<unsigned char>(command.size());
    io.cmdp = command.data();
    io.dxfer_len = static_cast<unsigned int>(header.size());
    io.dxferp = header.data();
    io.mx_sb_len = static_cast<unsigned char>(sense.size());
    io.sbp = sense.data();
    io.timeout = 5000;
    if (ioctl(fd, SG_IO, &io) != 0 || (io.info & SG_INFO_OK_MASK) != SG_INFO_OK)
        return std::nullopt;
    return static_cast<std::uint16_t>((header[6] << 8) | header[7]);
}

} // namespace

std::optional<BlockProbe> probeBlockDevice(const std::string& path, bool opticalDrive) {
    ProbeHandle probe(blkid_new_probe_from_filename(path.c_str()));
    if (!probe)
        return std::nullopt;
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(),
                                      BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION | BLKID_SUBLKS_LABEL);
    // 0 found, 1 nothing found, -2 ambiguous: all are answers; -1 is a failed read.
    const int status = blkid_do_safeprobe(probe.get());
    BlockProbe result;
    if (status == -1)
        return std::nullopt;
    if (status == 0) {
        result.type = lookup(probe.get(), "TYPE");
        result.version = lookup(probe.get(), "VERSION");
        result.label = lookup(probe.get(), "LABEL");
    }
    if (opticalDrive) {
        if (const auto profile = currentProfile(blkid_probe_get_fd(probe.get())))
            result.opticalMedia = opticalMediaName(*profile);
    }
    return result;
}

} // namespace quarry::media
