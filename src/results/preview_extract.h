#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results {

// "<folder>/dprv.<extension of itemName>", or "<folder>/dprv" when the name has no usable
// extension. An extension that holds a path separator is dropped, so the file stays in `folder`.
std::string previewFilePath(const std::string& folder, const std::string& itemName);

struct PreviewExtractResult {
    bool created = false;                // the file could be created
    std::uint64_t sectorsWritten = 0;    // sectors in the file
    std::uint64_t unreadableSectors = 0; // written as zeros
    bool stopped = false;                // the stop flag ended the copy early
    bool aborted = false;                // a failed write or reposition ended the copy early
};

// Copies sectors [start, end) of `source` into a new file at `path`, readable only by the
// user. Whatever is at `path` is replaced; a symbolic link there is removed, never followed.
// A sector that cannot be read is written as zeros and the copy goes on with the next one, so
// every later sector keeps its offset. The copy ends early, keeping what it wrote, once
// `stopFlag` is 1.
PreviewExtractResult extractPreviewFile(carving::SectorSource& source, std::uint64_t start, std::uint64_t end,
                                        const std::string& path, const std::atomic<int>& stopFlag);

} // namespace quarry::results
