#pragma once

#include <cstdint>

namespace quarry::carving {
class SectorSource;
}

namespace quarry::results::fragments {

// How far a JPEG decodes. Offsets count bytes from the source's first byte.
struct JpegDecode {
    bool whole = false;           // every scan line decoded, without a warning, up to end-of-image
    std::uint64_t scanStart = 0;  // first byte of the entropy-coded data; 0 when the headers do not parse
    std::uint64_t faultAt = 0;    // where the decoder met the first fault (when not whole)
    std::uint64_t endOfImage = 0; // just past the end-of-image marker (when whole)
};

// Decodes the JPEG that starts at sector 0 of `source`, reading at most `limitBytes`. Any libjpeg
// warning past the headers (a bad Huffman code, a restart out of order, a marker in the middle
// of the data, data left over) counts as a fault, and so does a whole zero sector in the
// entropy-coded data, which no encoder writes but free space holds. Only the entropy decoder
// runs for all but the last scan line, so a decode costs little more than reading the file.
JpegDecode decodeJpeg(carving::SectorSource& source, std::uint64_t limitBytes);

} // namespace quarry::results::fragments
