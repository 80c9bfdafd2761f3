#include "carving/header_test.h"

#include "common/decimal.h"
#include "common/sector.h"
#include "common/utf8_text.h"

#include <algorithm>
#include <limits>

namespace quarry::carving {

namespace {

constexpr auto kSector = static_cast<std::int64_t>(kSectorSize);

int readInt(const std::string& text) {
    const std::int64_t value = readSigned64(text);
    return static_cast<int>(
        std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

CompiledSignature compileRecord(const signatures::SignatureList& list, std::size_t recordIndex) {
    const std::size_t base = recordIndex * signatures::kRecordFields;
    CompiledSignature sig;
    sig.recordIndex = recordIndex;
    sig.extension = list[base];
    sig.maxSize = static_cast<std::uint64_t>(readSigned64(list[base + 1]));
    sig.headerText = list[base + 2];
    sig.positionText = list[base + 3];
    sig.firstByte = readInt(list[base + 6]);

    const std::string digits = utf8::asciiPerCharacter(sig.headerText);
    const std::size_t byteCount = digits.size() / 2;
    sig.header.reserve(byteCount);
    for (std::size_t k = 0; k < byteCount; ++k) {
        sig.header.push_back(
            static_cast<std::uint8_t>(signatures::hex2int(std::string_view(digits).substr(2 * k, 2))));
    }

    if (sig.positionText == "1") {
        sig.position = HeaderPosition::First;
    } else if (sig.positionText == "nn") {
        sig.position = HeaderPosition::Scan;
    } else {
        sig.position = HeaderPosition::Offset;
        const std::int64_t oneBased = readSigned64(sig.positionText);
        sig.offset = oneBased == std::numeric_limits<std::int64_t>::min() ? oneBased : oneBased - 1;
    }
    return sig;
}

std::vector<CompiledSignature> compileList(const signatures::SignatureList& list) {
    std::vector<CompiledSignature> out;
    const std::size_t records = list.size() / signatures::kRecordFields;
    out.reserve(records);
    for (std::size_t r = 0; r < records; ++r) {
        out.push_back(compileRecord(list, r));
    }
    return out;
}

bool matchesHeader(const CompiledSignature& sig, const std::uint8_t* sector) {
    const auto n = static_cast<std::int64_t>(sig.header.size());
    if (n == 0) {
        return false; // an attempt without bytes always fails
    }
    std::int64_t pos = 0;
    std::int64_t limit = n;
    if (sig.position == HeaderPosition::Scan) {
        limit = kSector;
    } else if (sig.position == HeaderPosition::Offset) {
        if (sig.offset < 0 || sig.offset > kLastNumberedStart) {
            return false;
        }
        pos = sig.offset;
        limit = pos + n;
    }
    while (pos < limit) {
        if (pos >= kSector || sector[pos] != sig.firstByte) {
            return false;
        }
        bool anyEqual = false;
        bool failed = false;
        for (std::int64_t j = 0; j < n; ++j) {
            if (pos >= kSector) {
                return false;
            }
            if (sector[pos] != sig.header[static_cast<std::size_t>(j)]) {
                if (anyEqual) {
                    --pos;
                }
                failed = true;
                break;
            }
            ++pos;
            anyEqual = true;
        }
        if (!failed) {
            return true;
        }
        if (sig.position != HeaderPosition::Scan) {
            return false;
        }
        ++pos;
    }
    return false;
}

} // namespace quarry::carving
