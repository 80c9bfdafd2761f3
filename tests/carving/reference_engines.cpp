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
}

bool photoPass(PassKind pass, const std::vector<CompiledSignature>& records, const ScanRequest& request,
               ScanControl& control, PhotoCounters& counters, ScanSink& sink, Photo& photo,
               ScanResult& result) {
    const bool thorough = pass == PassKind::Thorough;
    std::uint64_t forIndex = request.start_sector;
    control.for_index = forIndex;
    Sector sector{};
    while (forIndex < request.end_sector && !records.empty()) {
        if (control.stop_now == 1) {
            control.stop_now = 0;
            handOverPhoto(photo, pass, sink);
            photo.open = false;
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
        if (const CompiledSignature* r = firstMatch(records, sector)) {
            if (photo.passCount > 0 && !photo.sizeClosed) {
                handOverPhoto(photo, pass, sink);
                photo.open = false;
            }
            photo.sizeClosed = false;
            photo.open = true;
            ++photo.passCount;
            const std::uint64_t number = ++(thorough ? counters.THD_Image_number : counters.GND_Image_number);
            photo.name = Generate_File_Name(photo.passCount, thorough ? "THD" : "GND", r->extension, nullptr);
            photo.uid = Generate_File_UID_Num(number, thorough, r->extension);
            photo.collected = 0;
            photo.limit = r->maxSize;
            photo.first = forIndex - 1;
        }
        if (!photo.open) {
            continue;
        }
        photo.collected += kSectorSize;
        if (photo.collected < photo.limit) {
            photo.buffer.insert(photo.buffer.end(), sector.begin(), sector.end());
            photo.unreadable += read == Read::Failed ? 1 : 0;
            continue;
        }
        photo.collected = 0;
        photo.sizeClosed = true;
        handOverPhoto(photo, pass, sink);
        photo.open = false;
    }
    handOverPhoto(photo, pass, sink);
    return true;
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
             ScanControl& control, FoundFileGroups& groups, ScanSink& sink, Raw& raw, ScanResult& result) {
    constexpr std::uint64_t kLimit = 18874368;
    std::uint64_t forIndex = request.start_sector;
    control.for_index = forIndex;
    Sector sector{};
    while (forIndex < request.end_sector && !records.empty()) {
        if (control.stop_now == 1) {
            control.stop_now = 0;
            handOverRaw(raw, pass, forIndex, groups, sink);
            raw.carving = false;
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
        const std::uint64_t s = forIndex - 1;
        if (const CompiledSignature* r = firstMatch(records, sector)) {
            if (raw.carving) {
                handOverRaw(raw, pass, forIndex, groups, sink);
                raw.collected = 0;
                raw.start = 0;
            }
            raw.headerFound = true;
            raw.collected += kSectorSize;
            for (std::size_t q = r->recordIndex; q < records.size(); ++q) {
                if (records[q].headerText == r->headerText && records[q].positionText == r->positionText) {
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
            continue;
        }
        if (!raw.headerFound) {
            raw.collected += kSectorSize;
        }
        raw.unreadable += read == Read::Failed && !raw.open.empty() ? 1 : 0;
        // Every open item carries the same limit, so the first decides for all.
        while (!raw.open.empty() && kLimit <= raw.collected) {
            const std::string name = raw.open.front();
            raw.open.erase(raw.open.begin());
            const std::string trimmed(utf8::trim(name));
            if (!trimmed.empty()) {
                groups.countItem(trimmed);
                sink.rawItem(pass, trimmed, name, raw.start, forIndex, raw.unreadable);
            }
        }
        raw.headerFound = false;
        if (raw.open.empty()) {
            raw.collected = 0;
            raw.start = 0;
            raw.unreadable = 0;
        }
    }
    handOverRaw(raw, pass, forIndex, groups, sink);
    raw.collected = 0;
    raw.start = 0;
    return true;
}

} // namespace

ScanResult referencePhotoScan(const ScanRequest& request, ScanControl& control, PhotoCounters& counters,
                              ScanSink& sink) {
    control.start_sector = request.start_sector;
    control.end_sector = request.end_sector;
    control.total_sector = request.end_sector - request.start_sector;
    control.for_index = request.start_sector;
    ScanResult result;
    if (request.source == nullptr) {
        control.stop_now = 0;
        result.status = ScanStatus::OpenFailure;
        return result;
    }
    Photo photo;
    sink.passStarted(PassKind::General, kGeneralModeLabel);
    if (!photoPass(PassKind::General, recordsOf(request.general), request, control, counters, sink, photo,
                   result)) {
        result.status = ScanStatus::Stopped;
        return result;
    }
    if (request.thoroughPass) {
        sink.passStarted(PassKind::Thorough, kThoroughModeLabel);
        photo.open = false;
        photo.passCount = 0;
        photo.buffer.clear();
        photo.collected = 0;
        if (!photoPass(PassKind::Thorough, recordsOf(request.thorough), request, control, counters, sink,
                       photo, result)) {
            result.status = ScanStatus::Stopped;
        }
    }
    return result;
}

ScanResult referenceRawScan(const ScanRequest& request, ScanControl& control, FoundFileGroups& groups,
                            ScanSink& sink) {
    control.start_sector = request.start_sector;
    control.end_sector = request.end_sector;
    control.total_sector = request.end_sector - request.start_sector;
    control.for_index = 0;
    ScanResult result;
    if (request.source == nullptr) {
        control.stop_now = 0;
        result.status = ScanStatus::OpenFailure;
        return result;
    }
    Raw raw;
    sink.passStarted(PassKind::General, kGeneralModeLabel);
    if (!rawPass(PassKind::General, recordsOf(request.general), request, control, groups, sink, raw,
                 result)) {
        result.status = ScanStatus::Stopped;
        return result;
    }
    if (request.thoroughPass) {
        sink.passStarted(PassKind::Thorough, kThoroughModeLabel);
        raw.carving = false;
        raw.passCount = 0;
        control.for_index = 0;
        raw.collected = 0;
        raw.headerFound = false;
        if (!rawPass(PassKind::Thorough, recordsOf(request.thorough), request, control, groups, sink, raw,
                     result)) {
            result.status = ScanStatus::Stopped;
        }
    }
    return result;
}

} // namespace quarry::carving::test_support
