#include "results/fragments/jpeg_decode.h"

#include "carving/sector_source.h"
#include "common/sector.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace quarry::results::fragments {
namespace {

constexpr std::size_t kBlockSectors = 64;
// Enough for any camera picture decoded progressively; a hostile header asking for more fails.
constexpr long kMaxDecoderMemory = 512L << 20;

// Feeds libjpeg from a sector source in blocks and knows the offset of every byte it gave.
struct SectorFeed {
    jpeg_source_mgr pub{};
    carving::SectorSource* source = nullptr;
    std::uint64_t limitBytes = 0;
    std::uint64_t fed = 0; // bytes handed to libjpeg so far
    bool inScan = false;   // past the headers: zero sectors and warnings are faults
    std::vector<std::uint8_t> block;
};

struct FaultCatcher {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    SectorFeed* feed = nullptr;
    std::uint64_t faultAt = 0;
};

std::uint64_t position(const SectorFeed& feed) {
    return feed.fed - feed.pub.bytes_in_buffer;
}

[[noreturn]] void fault(j_decompress_ptr cinfo) {
    auto* catcher = reinterpret_cast<FaultCatcher*>(cinfo->err);
    catcher->faultAt = position(*catcher->feed);
    std::longjmp(catcher->jump, 1);
}

bool isZeroSector(const std::uint8_t* sector) {
    return std::all_of(sector, sector + kSectorSize, [](std::uint8_t b) { return b == 0; });
}

// Bytes of [data, data + size) before the first whole zero sector, counting sectors from the
// source's start; `offset` is the source offset of `data`.
std::size_t beforeZeroSector(const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    std::size_t at = static_cast<std::size_t>((kSectorSize - offset % kSectorSize) % kSectorSize);
    for (; at + kSectorSize <= size; at += kSectorSize) {
        if (isZeroSector(data + at))
            return at;
    }
    return size;
}

void noop(j_decompress_ptr) {}

boolean fill(j_decompress_ptr cinfo) {
    auto& feed = *reinterpret_cast<SectorFeed*>(cinfo->src);
    const std::uint64_t sector = feed.fed / kSectorSize;
    const std::uint64_t sectors = std::min<std::uint64_t>(
        kBlockSectors, feed.source->sectorCount() > sector ? feed.source->sectorCount() - sector : 0);
    std::size_t bytes = static_cast<std::size_t>(std::min<std::uint64_t>(
        sectors * kSectorSize, feed.limitBytes > feed.fed ? feed.limitBytes - feed.fed : 0));
    if (bytes == 0 || !feed.source->readSectors(sector, static_cast<std::size_t>(sectors), feed.block.data()))
        fault(cinfo);
    if (feed.inScan)
        bytes = beforeZeroSector(feed.block.data(), bytes, feed.fed);
    if (bytes == 0)
        fault(cinfo);
    feed.pub.next_input_byte = feed.block.data();
    feed.pub.bytes_in_buffer = bytes;
    feed.fed += bytes;
    return TRUE;
}

void skip(j_decompress_ptr cinfo, long count) {
    auto& src = *cinfo->src;
    while (count > static_cast<long>(src.bytes_in_buffer)) {
        count -= static_cast<long>(src.bytes_in_buffer);
        src.bytes_in_buffer = 0;
        fill(cinfo);
    }
    if (count > 0) {
        src.next_input_byte += count;
        src.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

void onError(j_common_ptr cinfo) {
    fault(reinterpret_cast<j_decompress_ptr>(cinfo));
}

void onMessage(j_common_ptr cinfo, int level) {
    auto* catcher = reinterpret_cast<FaultCatcher*>(cinfo->err);
    if (level < 0 && catcher->feed->inScan)
        fault(reinterpret_cast<j_decompress_ptr>(cinfo));
}

void silent(j_common_ptr) {}

// The decode itself, apart from the objects with destructors: libjpeg leaves it by longjmp.
bool decode(jpeg_decompress_struct& cinfo, SectorFeed& feed, JpegDecode& result) {
    jpeg_read_header(&cinfo, TRUE);
    result.scanStart = position(feed);
    feed.inScan = true;
    feed.pub.bytes_in_buffer =
        beforeZeroSector(feed.pub.next_input_byte, feed.pub.bytes_in_buffer, result.scanStart);
    feed.fed = result.scanStart + feed.pub.bytes_in_buffer;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.do_block_smoothing = FALSE;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_height > 1)
        jpeg_skip_scanlines(&cinfo, cinfo.output_height - 1);
    JSAMPARRAY row =
        (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                   cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, row, 1);
    jpeg_finish_decompress(&cinfo);
    result.endOfImage = position(feed);
    return true;
}

} // namespace

JpegDecode decodeJpeg(carving::SectorSource& source, std::uint64_t limitBytes) {
    JpegDecode result;
    SectorFeed feed;
    feed.source = &source;
    feed.limitBytes = limitBytes;
    feed.block.resize(kBlockSectors * kSectorSize);
    feed.pub.init_source = noop;
    feed.pub.fill_input_buffer = fill;
    feed.pub.skip_input_data = skip;
    feed.pub.resync_to_restart = jpeg_resync_to_restart;
    feed.pub.term_source = noop;

    FaultCatcher catcher;
    catcher.feed = &feed;
    jpeg_decompress_struct cinfo{};
    cinfo.err = jpeg_std_error(&catcher.pub);
    catcher.pub.error_exit = onError;
    catcher.pub.emit_message = onMessage;
    catcher.pub.output_message = silent;

    if (setjmp(catcher.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        result.whole = false;
        result.faultAt = catcher.faultAt;
        return result;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    cinfo.src = &feed.pub;
    result.whole = decode(cinfo, feed, result);
    jpeg_destroy_decompress(&cinfo);
    return result;
}

} // namespace quarry::results::fragments
