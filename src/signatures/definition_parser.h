#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quarry::signatures {

// A signature list as the definition files store it: a flat sequence of strings read in
// records of seven (extension, maximum size, header hex, header position, unused,
// description, first-byte value).
using SignatureList = std::vector<std::string>;
inline constexpr std::size_t kRecordFields = 7;

// Value of the first character of `s` as a hex digit; anything else, '0' included, is 0.
int hex2dec(std::string_view s);
// `s` read as a hex number digit by digit with hex2dec.
int hex2int(std::string_view s);

// The first-byte value of a "Header :" line that has not yet been stored in a record; it
// carries over from one file to the next.
struct ParseState {
    std::string pendingFirstByte;
};

// Appends the records of one definition file's text to `out` and returns how many records it
// dropped as malformed. A trailing group of fewer than six counting lines is dropped so `out`
// always holds whole records. So is a record whose numbers no sector or 64-bit size allows: a
// maximum size beyond 64 bits, a header longer than a sector, or a numbered header position
// below 1 or whose header would run past the sector's end.
std::size_t parseDefinitionText(std::string_view text, SignatureList& out, ParseState& state);

enum class DefinitionFileProblem { None, Missing, Unreadable, NotUtf8 };

// What loading one file met, for front ends that report it; the lists themselves stay silent.
struct DefinitionFileReport {
    std::string path;
    DefinitionFileProblem problem = DefinitionFileProblem::None;
    std::size_t malformedRecords = 0;

    bool loaded() const { return problem == DefinitionFileProblem::None; }
};

// Reads and parses one file. A missing, unreadable or non-UTF-8 file leaves `out` untouched.
DefinitionFileReport loadDefinitionFile(const std::filesystem::path& file, SignatureList& out,
                                        ParseState& state);

struct SignatureLists {
    SignatureList Ext_Array;                   // photos, general
    SignatureList Adv_Ext_Array;               // photos, thorough
    SignatureList Video_Array;                 // videos, general
    SignatureList Adv_Video_Array;             // videos, thorough
    SignatureList RawFile_Array;               // other files, general
    SignatureList Adv_RawFile_Array;           // other files, thorough
    std::vector<DefinitionFileReport> reports; // one per file, in load order
};

// File names of the six definition files, in load order, each beginning with "/".
inline constexpr const char* kDefinitionFiles[6] = {"/QRYExt2.dll",     "/QRYExt2Adv.dll", "/QRYVideo.dll",
                                                    "/QRYVideoAdv.dll", "/QRYRaw.dll",     "/QRYRawAdv.dll"};

// Loads the six files from `resourceFolder` (the name is appended by plain concatenation)
// in the order above, with one ParseState carried across all six.
SignatureLists loadSignatureLists(const std::string& resourceFolder);

} // namespace quarry::signatures
