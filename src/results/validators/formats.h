#pragma once

#include "results/validators/byte_reader.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quarry::results::validators {

// A validator reads one candidate file from its first byte and returns its real length, or nullopt when
// the structure is not that format's or is broken. `itemBytes` is the carved length, for the few formats
// whose last part is stated to run "to the end".
using Validator = std::optional<std::uint64_t> (*)(ByteReader& in, std::uint64_t itemBytes);

std::optional<std::uint64_t> jpegEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> pngEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> gifEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> bmpEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> riffEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> aviEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> isoMediaEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> matroskaEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> pdfEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> zipEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> compoundFileEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> sqliteEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> tiffEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> rafEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> mp3End(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> oggEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> rarEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> sevenZipEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> flacEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> flvEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> asfEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> iffEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> cabinetEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> sfntEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> woffEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> midiEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> outlookEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> elfEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> tarEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> aacEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> peEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> gzipEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> bzip2End(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> psdEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> jp2End(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> j2kEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> jpegXlEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> dvEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> mpegVideoEnd(ByteReader& in, std::uint64_t itemBytes);
std::optional<std::uint64_t> mpegProgramEnd(ByteReader& in, std::uint64_t itemBytes);

// The type a verified file of a container shared by several types really is, as an upper-case
// extension ("XLS", "DOCX", "MOV", "WAV"), read from its structure; empty when it names none.
using TypeReader = std::string (*)(ByteReader& in, std::uint64_t fileBytes);

std::string compoundFileType(ByteReader& in, std::uint64_t fileBytes);
std::string zipType(ByteReader& in, std::uint64_t fileBytes);
std::string isoMediaType(ByteReader& in, std::uint64_t fileBytes);
std::string riffType(ByteReader& in, std::uint64_t fileBytes);

} // namespace quarry::results::validators
