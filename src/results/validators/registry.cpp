#include "results/validators.h"
#include "results/validators/byte_reader.h"
#include "results/validators/formats.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace quarry::results {
namespace {

using validators::Validator;

struct Registration {
    std::string_view extension;
    Validator validator;
};

// Keys in upper case; extensions are folded to upper case before the lookup.
constexpr Registration kValidators[] = {
    {"JPG", validators::jpegEnd},         {"JPEG", validators::jpegEnd},
    {"JPE", validators::jpegEnd},         {"JFIF", validators::jpegEnd},
    {"MPO", validators::jpegEnd},         {"PNG", validators::pngEnd},
    {"GIF", validators::gifEnd},          {"BMP", validators::bmpEnd},
    {"DIB", validators::bmpEnd},          {"AVI", validators::aviEnd},
    {"WAV", validators::riffEnd},         {"WEBP", validators::riffEnd},
    {"ANI", validators::riffEnd},         {"RMI", validators::riffEnd},
    {"MP4", validators::isoMediaEnd},     {"M4V", validators::isoMediaEnd},
    {"M4A", validators::isoMediaEnd},     {"M4B", validators::isoMediaEnd},
    {"MOV", validators::isoMediaEnd},     {"QT", validators::isoMediaEnd},
    {"3GP", validators::isoMediaEnd},     {"3G2", validators::isoMediaEnd},
    {"HEIC", validators::isoMediaEnd},    {"HEIF", validators::isoMediaEnd},
    {"AVIF", validators::isoMediaEnd},    {"CR3", validators::isoMediaEnd},
    {"F4V", validators::isoMediaEnd},     {"MKV", validators::matroskaEnd},
    {"MKA", validators::matroskaEnd},     {"MK3D", validators::matroskaEnd},
    {"WEBM", validators::matroskaEnd},    {"PDF", validators::pdfEnd},
    {"ZIP", validators::zipEnd},          {"DOCX", validators::zipEnd},
    {"DOCM", validators::zipEnd},         {"DOTX", validators::zipEnd},
    {"XLSX", validators::zipEnd},         {"XLSM", validators::zipEnd},
    {"PPTX", validators::zipEnd},         {"PPTM", validators::zipEnd},
    {"PPSX", validators::zipEnd},         {"ODT", validators::zipEnd},
    {"ODS", validators::zipEnd},          {"ODP", validators::zipEnd},
    {"ODG", validators::zipEnd},          {"OTT", validators::zipEnd},
    {"EPUB", validators::zipEnd},         {"JAR", validators::zipEnd},
    {"APK", validators::zipEnd},          {"KMZ", validators::zipEnd},
    {"DOC", validators::compoundFileEnd}, {"DOT", validators::compoundFileEnd},
    {"XLS", validators::compoundFileEnd}, {"XLT", validators::compoundFileEnd},
    {"PPT", validators::compoundFileEnd}, {"PPS", validators::compoundFileEnd},
    {"MSG", validators::compoundFileEnd}, {"MSI", validators::compoundFileEnd},
    {"PUB", validators::compoundFileEnd}, {"VSD", validators::compoundFileEnd},
    {"OLE", validators::compoundFileEnd}, {"OOXML", validators::zipEnd},
    {"SQLITE", validators::sqliteEnd},    {"SQLITE3", validators::sqliteEnd},
    {"DB", validators::sqliteEnd},        {"DB3", validators::sqliteEnd},
    {"TIF", validators::tiffEnd},         {"TIFF", validators::tiffEnd},
    {"DNG", validators::tiffEnd},         {"CR2", validators::tiffEnd},
    {"NEF", validators::tiffEnd},         {"NRW", validators::tiffEnd},
    {"ARW", validators::tiffEnd},         {"SR2", validators::tiffEnd},
    {"SRF", validators::tiffEnd},         {"ORF", validators::tiffEnd},
    {"RW2", validators::tiffEnd},         {"RWL", validators::tiffEnd},
    {"PEF", validators::tiffEnd},         {"ERF", validators::tiffEnd},
    {"3FR", validators::tiffEnd},         {"KDC", validators::tiffEnd},
    {"DCR", validators::tiffEnd},         {"MEF", validators::tiffEnd},
    {"MOS", validators::tiffEnd},         {"IIQ", validators::tiffEnd},
    {"SRW", validators::tiffEnd},         {"RAF", validators::rafEnd},
    {"MP3", validators::mp3End},          {"OGG", validators::oggEnd},
    {"OGA", validators::oggEnd},          {"OGV", validators::oggEnd},
    {"OPUS", validators::oggEnd},         {"SPX", validators::oggEnd},
    {"FLAC", validators::flacEnd},        {"FLV", validators::flvEnd},
    {"F4A", validators::flvEnd},          {"ASF", validators::asfEnd},
    {"WMV", validators::asfEnd},          {"WMA", validators::asfEnd},
    {"AIF", validators::iffEnd},          {"AIFF", validators::iffEnd},
    {"AIFC", validators::iffEnd},         {"DJVU", validators::iffEnd},
    {"DJV", validators::iffEnd},          {"CAB", validators::cabinetEnd},
    {"TTF", validators::sfntEnd},         {"OTF", validators::sfntEnd},
    {"TTC", validators::sfntEnd},         {"WOFF", validators::woffEnd},
    {"WOFF2", validators::woffEnd},       {"MID", validators::midiEnd},
    {"MIDI", validators::midiEnd},        {"PST", validators::outlookEnd},
    {"OST", validators::outlookEnd},      {"ELF", validators::elfEnd},
    {"SO", validators::elfEnd},           {"TAR", validators::tarEnd},
    {"RAR", validators::rarEnd},          {"7Z", validators::sevenZipEnd},
    {"AAC", validators::aacEnd},          {"EXE", validators::peEnd},
    {"DLL", validators::peEnd},           {"GZ", validators::gzipEnd},
    {"BZ2", validators::bzip2End},        {"PSD", validators::psdEnd},
    {"PSB", validators::psdEnd},          {"JP2", validators::jp2End},
    {"J2K", validators::j2kEnd},          {"DV", validators::dvEnd},
    {"JXL", validators::jpegXlEnd},       {"M2V", validators::mpegVideoEnd},
    {"MPG", validators::mpegProgramEnd},  {"VOB", validators::mpegProgramEnd},
};

struct Family {
    Validator validator;
    validators::TypeReader type;
};

// Containers that several types share; a verified file's structure tells which it is.
constexpr Family kFamilies[] = {
    {validators::compoundFileEnd, validators::compoundFileType},
    {validators::zipEnd, validators::zipType},
    {validators::isoMediaEnd, validators::isoMediaType},
    {validators::riffEnd, validators::riffType},
    {validators::aviEnd, validators::riffType},
};

// Bytes a validator may pull from a medium for one item; a structure that needs more is not trusted.
constexpr std::uint64_t kReadBudget = 512ULL << 20;

Validator lookup(const std::string& extension) {
    std::string key(extension);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const auto* found = std::find_if(std::begin(kValidators), std::end(kValidators),
                                     [&](const Registration& r) { return r.extension == key; });
    return found == std::end(kValidators) ? nullptr : found->validator;
}

FileEnd measure(Validator validator, validators::ByteReader& in, std::uint64_t itemBytes) {
    if (validator == nullptr) {
        return {false, itemBytes, {}};
    }
    try {
        const auto end = validator(in, itemBytes);
        if (end && *end > 0 && *end <= in.size()) {
            const auto* family = std::find_if(std::begin(kFamilies), std::end(kFamilies),
                                              [&](const Family& f) { return f.validator == validator; });
            return {true, *end, family == std::end(kFamilies) ? std::string() : family->type(in, *end)};
        }
    } catch (...) {
        // Out of memory on a hostile structure is a broken structure like any other.
    }
    return {false, itemBytes, {}};
}

} // namespace

FileEnd findFileEnd(carving::SectorSource& source, std::uint64_t startSector, std::uint64_t itemBytes,
                    const std::string& extension, std::uint64_t limitBytes) {
    const Validator validator = lookup(extension);
    if (validator == nullptr) {
        return {false, itemBytes, {}};
    }
    validators::SectorByteReader in(source, startSector, limitBytes, kReadBudget);
    return measure(validator, in, itemBytes);
}

FileEnd findFileEnd(std::span<const std::uint8_t> bytes, const std::string& extension) {
    validators::MemoryByteReader in(bytes);
    return measure(lookup(extension), in, bytes.size());
}

bool hasValidator(const std::string& extension) {
    return lookup(extension) != nullptr;
}

std::vector<std::string_view> validatorExtensions() {
    std::vector<std::string_view> extensions;
    for (const auto& registration : kValidators) {
        extensions.push_back(registration.extension);
    }
    return extensions;
}

} // namespace quarry::results
