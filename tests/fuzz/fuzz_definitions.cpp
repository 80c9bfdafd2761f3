// Definition files are data anyone can edit: parsing any text, and testing the records it
// yields against sectors, must neither crash nor read outside a sector.
#include "carving/header_test.h"
#include "carving/signature_matcher.h"
#include "common/sector.h"
#include "common/utf8_text.h"
#include "signatures/definition_parser.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using namespace quarry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!utf8::isValid(text)) {
        return 0; // such a file is refused before it is parsed
    }
    signatures::SignatureList list;
    signatures::ParseState state;
    signatures::parseDefinitionText(text, list, state);
    if (list.size() % signatures::kRecordFields != 0) {
        std::abort();
    }
    // Whatever the parser keeps lies inside a sector.
    for (const auto& sig : carving::compileList(list)) {
        const auto bytes = static_cast<std::int64_t>(sig.header.size());
        const bool inside = sig.position != carving::HeaderPosition::Offset ||
                            (sig.offset >= 0 && sig.offset + bytes <= static_cast<std::int64_t>(kSectorSize));
        if (bytes > static_cast<std::int64_t>(kSectorSize) || !inside) {
            std::abort();
        }
    }

    // The sectors: blank, full, and the input itself, where its own headers are likeliest.
    std::array<std::array<std::uint8_t, kSectorSize>, 3> sectors{};
    sectors[1].fill(0xFF);
    std::memcpy(sectors[2].data(), data, std::min(size, kSectorSize));
    const carving::SignatureMatcher matcher(list);
    for (const auto& sector : sectors) {
        const std::size_t found = matcher.find(sector.data());
        std::size_t first = carving::SignatureMatcher::npos;
        for (std::size_t r = 0; r < matcher.size(); ++r) {
            if (carving::matchesHeader(matcher.record(r), sector.data())) {
                first = r;
                break;
            }
        }
        if (found != first) {
            std::abort(); // the prefilter must never change which record matches
        }
    }
    return 0;
}
