// The disk utility's output is parsed as it comes; no text may crash the parser.
#include "media/plist_parser.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    (void)quarry::media::parsePropertyList(xml);
    (void)quarry::media::describeFromDiskutilPlist(xml);
    return 0;
}
