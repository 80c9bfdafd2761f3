#include "signatures/definition_parser.h"

#include "common/decimal.h"
#include "common/sector.h"
#include "common/utf8_text.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

namespace quarry::signatures {

namespace {

constexpr std::string_view kHeaderKey = "Header :";
constexpr std::size_t kCountingLinesPerGroup = kRecordFields - 1;

// The power is computed in double precision and truncated; a power that no 32-bit integer
// holds reads as the lowest one, as the x86 conversion gives, so long strings stay defined.
std::int32_t truncatedPower(std::size_t exponent) {
    const double power = std::pow(16.0, static_cast<double>(exponent));
    if (power >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(power);
}

std::string storedValue(std::string_view rest) {
    const std::string_view value = utf8::trim(rest);
    const std::size_t dot = value.find('.');
    if (dot == std::string_view::npos) {
        return std::string(value);
    }
    return utf8::toUpper(value.substr(dot + 1));
}

// The numbers of a record must be ones the engines can use: a maximum size that 64 bits hold,
// a header that fits a sector, and a numbered position inside it. "1" and "nn" keep their
// meaning; any other position text is read as a decimal number from 1.
bool wellFormed(const std::string* record) {
    if (!readSigned64Exact(record[1])) {
        return false;
    }
    const auto headerBytes = static_cast<std::int64_t>(utf8::asciiPerCharacter(record[2]).size() / 2);
    const auto sector = static_cast<std::int64_t>(kSectorSize);
    if (headerBytes > sector) {
        return false;
    }
    const std::string& position = record[3];
    if (position == "1" || position == "nn") {
        return true;
    }
    const auto oneBased = readSigned64Exact(position);
    return oneBased && *oneBased >= 1 && *oneBased <= sector - headerBytes + 1;
}

} // namespace

int hex2dec(std::string_view s) {
    if (s.empty()) {
        return 0;
    }
    const char c = s.front();
    if (c >= '1' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return 0;
}

int hex2int(std::string_view s) {
    const std::size_t n = s.size();
    std::uint32_t sum = 0; // 32-bit arithmetic that wraps instead of overflowing
    for (std::size_t i = n; i-- > 0;) {
        const auto digit = static_cast<std::uint32_t>(hex2dec(s.substr(i)));
        sum += digit * static_cast<std::uint32_t>(truncatedPower(n - 1 - i));
    }
    return static_cast<int>(static_cast<std::int32_t>(sum));
}

std::size_t parseDefinitionText(std::string_view text, SignatureList& out, ParseState& state) {
    std::size_t malformed = 0;
    std::size_t lineCounter = 0;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, colon + 1);
        const std::string_view rest = line.substr(colon + 1);
        if (key == kHeaderKey) {
            state.pendingFirstByte =
                std::to_string(hex2int(utf8::asciiPerCharacter(utf8::firstCharacters(utf8::trim(rest), 2))));
        }
        out.push_back(storedValue(rest));
        ++lineCounter;
        if (lineCounter == kCountingLinesPerGroup) {
            out.push_back(state.pendingFirstByte);
            state.pendingFirstByte.clear();
            lineCounter = 0;
            if (!wellFormed(&out[out.size() - kRecordFields])) {
                out.resize(out.size() - kRecordFields);
                ++malformed;
            }
        }
    }
    // An unfinished group would shift every later record of the list by its length.
    out.resize(out.size() - lineCounter);
    return malformed;
}

DefinitionFileReport loadDefinitionFile(const std::filesystem::path& file, SignatureList& out,
                                        ParseState& state) {
    DefinitionFileReport report{file.string()};
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        report.problem = DefinitionFileProblem::Missing;
        return report;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file, ec)) {
        report.problem = DefinitionFileProblem::Unreadable;
        return report;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        report.problem = DefinitionFileProblem::Unreadable;
    } else if (!utf8::isValid(bytes)) {
        report.problem = DefinitionFileProblem::NotUtf8;
    } else {
        report.malformedRecords = parseDefinitionText(bytes, out, state);
    }
    return report;
}

SignatureLists loadSignatureLists(const std::string& resourceFolder) {
    SignatureLists lists;
    SignatureList* targets[6] = {&lists.Ext_Array,       &lists.Adv_Ext_Array, &lists.Video_Array,
                                 &lists.Adv_Video_Array, &lists.RawFile_Array, &lists.Adv_RawFile_Array};
    ParseState state;
    for (std::size_t k = 0; k < 6; ++k) {
        lists.reports.push_back(loadDefinitionFile(resourceFolder + kDefinitionFiles[k], *targets[k], state));
    }
    return lists;
}

} // namespace quarry::signatures
