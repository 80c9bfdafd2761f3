#include "reference_engines.h"

#include "carving/header_test.h"
#include "carving/naming.h"
#include "common/utf8_text.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace quarry::carving::test_support {

namespace {

using Sector = std::array<std::uint8_t, kSectorSize>;

enum class Read { Ok, Failed, Lost };

Read readOne(SectorSource& source, std::uint64_t s, Sector& buffer) {
    if (source.readSectors(s, 1, buffer.data())) {
        return Read::Ok;
    }
    buffer.fill(0);
    return source.reposition(s + 1) ? Read::Failed : Read::Lost;
}

std::vector<CompiledSignature> recordsOf(const signatures::SignatureList* list) {
    return list != nullptr ? compileList(*list) : std::vector<CompiledSignature>{};
}

const CompiledSignature* firstMatch(const std::vector<CompiledSignature>& records, const Sector& sector) {
    static const Sector zeros{};
    if (sector == zeros) {
        return nullptr;
    }
    for (const auto& record : records) {
        if (matchesHeader(record, sector.data())) {
            return &record;
        }
    }
    return nullptr;
}

// Reads the range one sector at a time, handing each sector read to `onSector(s, sector, read)`;
// false once a stop was asked for. A source that cannot be put back ends the pass.
template <typename OnSector>
bool eachSector(const ScanRequest& request, ScanControl& control, bool anyRecords, ScanResult& result,
                OnSector onSector) {
    std::uint64_t forIndex = request.start_sector;
    control.for_index = forIndex;
    Sector sector{};
    while (forIndex < request.end_sector && anyRecords) {
        if (control.stop_now == 1) {
            control.stop_now = 0;
            return false;
        }
        const Read read = readOne(*request.source, forIndex, sector);
        if (read != Read::Ok) {
            ++result.badSectors;
        }
        if (read == Read::Lost) {
            break;
        }
        control.for_index = ++forIndex;
        ++result.sectorsScanned;
        onSector(forIndex - 1, sector, read);
    }
    return true;
}

// The frame both engines share: the range published, a missing medium refused, the general
// pass, then the thorough pass unless it is off. Each pass starts with fresh item state.
template <typename Pass>
ScanResult twoPasses(const ScanRequest& request, ScanControl& control, std::uint64_t forIndexAtStart,
                     ScanSink& sink, Pass pass) {
    control.start_sector = request.start_sector;
    control.end_sector = request.end_sector;
    control.total_sector = request.end_sector - request.start_sector;
    control.for_index = forIndexAtStart;
    ScanResult result;
    if (request.source == nullptr) {
        control.stop_now = 0;
        result.status = ScanStatus::OpenFailure;
        return result;
    }
    sink.passStarted(PassKind::General, kGeneralModeLabel);
    if (!pass(PassKind::General, recordsOf(request.general), result)) {
        result.status = ScanStatus::Stopped;
        return result;
    }
    if (request.thoroughPass) {
        sink.passStarted(PassKind::Thorough, kThoroughModeLabel);
        if (!pass(PassKind::Thorough, recordsOf(request.thorough), result)) {
            result.status = ScanStatus::Stopped;
        }
    }
    return result;
}

struct Photo {
    std::vector<std::uint8_t> buffer;
    bool open = false;
    bool sizeClosed = false;
    std::uint64_t passCount = 0;
    std::uint64_t collected = 0;
    std::uint64_t limit = 0;
    std::uint64_t first = 0;
    std::uint64_t unreadable = 0;
    std::string name;
    std::string uid;
};

void handOverPhoto(Photo& photo, PassKind pass, ScanSink& sink) {
    if (!photo.buffer.empty()) {
        sink.photoItem(pass, photo.buffer, photo.name, photo.uid, photo.first,
                       photo.first + photo.buffer.size() / kSectorSize, photo.unreadable);
    }
    photo.buffer.clear();
    photo.unreadable = 0;
    photo.open = false;
}

bool photoPass(PassKind pass, const std::vector<CompiledSignature>& records, const ScanRequest& request,
               ScanControl& control, PhotoCounters& counters, ScanSink& sink, ScanResult& result) {
    const bool thorough = pass == PassKind::Thorough;
    Photo photo;
    const bool ended = eachSector(
        request, control, !records.empty(), result, [&](std::uint64_t s, const Sector& sector, Read read) {
            if (const CompiledSignature* r = firstMatch(records, sector)) {
                if (photo.passCount > 0 && !photo.sizeClosed) {
                    handOverPhoto(photo, pass, sink);
                }
                photo.sizeClosed = false;
                photo.open = true;
                ++photo.passCount;
                const std::uint64_t number =
                    ++(thorough ? counters.THD_Image_number : counters.GND_Image_number);
                photo.name =
                    Generate_File_Name(photo.passCount, thorough ? "THD" : "GND", r->extension, nullptr);
                photo.uid = Generate_File_UID_Num(number, thorough, r->extension);
                photo.collected = 0;
                photo.limit = r->maxSize;
                photo.first = s;
            }
            if (!photo.open) {
                return;
            }
            photo.collected += kSectorSize;
            if (photo.collected < photo.limit) {
                photo.buffer.insert(photo.buffer.end(), sector.begin(), sector.end());
                photo.unreadable += read == Read::Failed ? 1 : 0;
                return;
            }
            photo.collected = 0;
            photo.sizeClosed = true;
            handOverPhoto(photo, pass, sink);
        });
    handOverPhoto(photo, pass, sink);
    return ended;
}

struct Raw {
    std::vector<std::string> open;
    bool carving = false;
    bool headerFound = false;
    std::uint64_t start = 0;
    std::uint64_t collected = 0;
    std::uint64_t passCount = 0;
    std::uint64_t unreadable = 0;
};

void handOverRaw(Raw& raw, PassKind pass, std::uint64_t end, FoundFileGroups& groups, ScanSink& sink) {
    for (const auto& name : raw.open) {
        const std::string trimmed(utf8::trim(name));
        if (!trimmed.empty()) {
            groups.countItem(trimmed);
            sink.rawItem(pass, trimmed, name, raw.start, end, raw.unreadable);
        }
    }
    raw.open.clear();
    raw.unreadable = 0;
}

bool rawPass(PassKind pass, const std::vector<CompiledSignature>& records, const ScanRequest& request,
             ScanControl& control, FoundFileGroups& groups, ScanSink& sink, ScanResult& result) {
    constexpr std::uint64_t kLimit = 18874368;
    Raw raw;
    const bool ended = eachSector(
        request, control, !records.empty(), result, [&](std::uint64_t s, const Sector& sector, Read read) {
            if (const CompiledSignature* r = firstMatch(records, sector)) {
                if (raw.carving) {
                    handOverRaw(raw, pass, s + 1, groups, sink);
                    raw.collected = 0;
                    raw.start = 0;
                }
                raw.headerFound = true;
                raw.collected += kSectorSize;
                for (std::size_t q = r->recordIndex; q < records.size(); ++q) {
                    if (records[q].headerText == r->headerText &&
                        records[q].positionText == r->positionText) {
                        raw.start = s;
                        ++raw.passCount;
                        raw.open.push_back(Generate_File_Name(raw.passCount, records[q].extension,
                                                              records[q].extension, &groups));
                    }
                }
            }
            if (raw.headerFound) {
                raw.carving = true;
            }
            if (!raw.carving) {
                return;
            }
            if (!raw.headerFound) {
                raw.collected += kSectorSize;
            }
            raw.unreadable += read == Read::Failed && !raw.open.empty() ? 1 : 0;
            // Every open item carries the same limit, so they close together.
            if (kLimit <= raw.collected) {
                handOverRaw(raw, pass, s + 1, groups, sink);
            }
            raw.headerFound = false;
            if (raw.open.empty()) {
                raw.collected = 0;
                raw.start = 0;
                raw.unreadable = 0;
            }
        });
    handOverRaw(raw, pass, control.for_index, groups, sink);
    return ended;
}

} // namespace

ScanResult referencePhotoScan(const ScanRequest& request, ScanControl& control, PhotoCounters& counters,
                              ScanSink& sink) {
    return twoPasses(request, control, request.start_sector, sink,
                     [&](PassKind pass, const std::vector<CompiledSignature>& records, ScanResult& result) {
                         return photoPass(pass, records, request, control, counters, sink, result);
                     });
}

ScanResult referenceRawScan(const ScanRequest& request, ScanControl& control, FoundFileGroups& groups,
                            ScanSink& sink) {
    return twoPasses(request, control, 0, sink,
                     [&](PassKind pass, const std::vector<CompiledSignature>& records, ScanResult& result) {
                         return rawPass(pass, records, request, control, groups, sink, result);
                     });
}

} // namespace quarry::carving::test_support
