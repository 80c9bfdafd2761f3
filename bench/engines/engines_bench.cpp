// Carving throughput on random data with planted headers, with the shipped definition files
// when they are built (otherwise a small built-in list of common signatures).
//
//   bench_engines [--benchmark_filter=...]     QUARRY_BENCH_MIB=512 sets the medium size

#include "carving/found_groups.h"
#include "carving/memory_source.h"
#include "carving/scan.h"
#include "signatures/definition_parser.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace quarry;
using namespace quarry::carving;

// Used only when the definition files have not been built.
const signatures::SignatureList kFallbackList = {"JPG", "18874368", "FFD8FFE0", "1",  "", "JPEG", "255",
                                                 "JPG", "18874368", "FFD8FFE1", "1",  "", "JPEG", "255",
                                                 "PNG", "18874368", "89504E47", "1",  "", "PNG",  "137",
                                                 "GIF", "18874368", "47494638", "1",  "", "GIF",  "71",
                                                 "MP4", "18874368", "66747970", "5",  "", "MP4",  "102",
                                                 "TIF", "18874368", "49492A00", "1",  "", "TIFF", "73",
                                                 "PDF", "18874368", "25504446", "nn", "", "PDF",  "37"};

struct Lists {
    signatures::SignatureLists loaded;
    bool shipped = false;

    const signatures::SignatureList& pick(const signatures::SignatureList& list) const {
        return shipped ? list : kFallbackList;
    }
};

const Lists& lists() {
    static const Lists instance = [] {
        Lists l;
        l.loaded = signatures::loadSignatureLists(QUARRY_BENCH_RESOURCE_DIR);
        l.shipped = !l.loaded.Ext_Array.empty() && !l.loaded.RawFile_Array.empty();
        return l;
    }();
    return instance;
}

std::uint64_t mediumBytes() {
    const char* mib = std::getenv("QUARRY_BENCH_MIB");
    return static_cast<std::uint64_t>(mib != nullptr ? std::atoi(mib) : 256) << 20;
}

// Random bytes, a zero run now and then, and a header of one of `sources`' records every
// 256 sectors on average, at the place its record looks for it.
std::vector<std::uint8_t> makeMedium(const std::vector<const signatures::SignatureList*>& sources) {
    std::mt19937_64 random(42);
    std::vector<std::uint8_t> bytes(mediumBytes());
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes.data() + i, &word, 8);
    }
    const std::uint64_t sectors = bytes.size() / kSectorSize;
    for (std::uint64_t s = 0; s < sectors; s += 1 + random() % 512) {
        if (random() % 16 == 0) {
            const std::uint64_t run = std::min<std::uint64_t>(1 + random() % 64, sectors - s);
            std::memset(bytes.data() + s * kSectorSize, 0, run * kSectorSize);
            continue;
        }
        const auto& list = *sources[random() % sources.size()];
        if (list.size() < signatures::kRecordFields) {
            continue;
        }
        const std::size_t r = random() % (list.size() / signatures::kRecordFields);
        const std::string& hex = list[r * signatures::kRecordFields + 2];
        const std::string& position = list[r * signatures::kRecordFields + 3];
        std::size_t offset = 0;
        if (position != "1" && position != "nn") {
            offset = static_cast<std::size_t>(std::max(1, std::atoi(position.c_str())) - 1);
        }
        for (std::size_t k = 0; k + 1 < hex.size() && offset + k / 2 < kSectorSize; k += 2) {
            bytes[s * kSectorSize + offset + k / 2] =
                static_cast<std::uint8_t>(signatures::hex2int(std::string_view(hex).substr(k, 2)));
        }
    }
    return bytes;
}

class CountingSink : public ScanSink {
public:
    void photoItem(PassKind, std::span<const std::uint8_t> bytes, const std::string&, const std::string&,
                   std::uint64_t, std::uint64_t, std::uint64_t) override {
        ++items;
        benchmark::DoNotOptimize(bytes.data());
    }
    void rawItem(PassKind, const std::string&, const std::string&, std::uint64_t, std::uint64_t,
                 std::uint64_t) override {
        ++items;
    }
    std::uint64_t items = 0;
};

// The medium as a file in the page cache, read the way a device is.
class MediumFile {
public:
    explicit MediumFile(const std::vector<std::uint8_t>& bytes)
        : path_(std::filesystem::temp_directory_path() / ("quarry-bench-" + std::to_string(::getpid()))) {
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    ~MediumFile() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

// Offers nothing in place, so every sector is read into a block buffer, as from a device.
class ReadOnlySource final : public SectorSource {
public:
    explicit ReadOnlySource(SectorSource& inner) : inner_(inner) {}
    std::uint64_t sectorCount() const override { return inner_.sectorCount(); }
    bool readSectors(std::uint64_t first, std::size_t count, std::uint8_t* out) override {
        return inner_.readSectors(first, count, out);
    }

private:
    SectorSource& inner_;
};

void report(benchmark::State& state, const ScanResult& result, std::uint64_t items) {
    state.SetBytesProcessed(static_cast<std::int64_t>(result.sectorsScanned * kSectorSize));
    state.counters["items"] =
        benchmark::Counter(static_cast<double>(items), benchmark::Counter::kAvgIterations);
    state.counters["shipped_lists"] = lists().shipped ? 1 : 0;
}

void photoScan(benchmark::State& state, SectorSource& source, bool thorough) {
    const auto& l = lists();
    ScanResult total;
    CountingSink sink;
    for (auto _ : state) {
        ScanControl control;
        PhotoCounters counters;
        ScanRequest request;
        request.source = &source;
        request.end_sector = source.sectorCount();
        request.general = &l.pick(l.loaded.Ext_Array);
        request.thorough = &l.pick(l.loaded.Adv_Ext_Array);
        request.thoroughPass = thorough;
        const ScanResult result = runPhotoScan(request, control, counters, sink);
        total.sectorsScanned += result.sectorsScanned;
    }
    report(state, total, sink.items);
}

void rawScan(benchmark::State& state, SectorSource& source, const signatures::SignatureList& general,
             const signatures::SignatureList& thoroughList, bool thorough) {
    ScanResult total;
    CountingSink sink;
    for (auto _ : state) {
        ScanControl control;
        FoundFileGroups groups;
        ScanRequest request;
        request.source = &source;
        request.end_sector = source.sectorCount();
        request.general = &general;
        request.thorough = &thoroughList;
        request.thoroughPass = thorough;
        const ScanResult result = runRawScan(request, control, groups, sink);
        total.sectorsScanned += result.sectorsScanned;
    }
    report(state, total, sink.items);
}

MemorySource& photoMedium() {
    static MemorySource source(makeMedium({&lists().pick(lists().loaded.Ext_Array)}));
    return source;
}

MemorySource& rawMedium() {
    const auto& l = lists();
    static MemorySource source(makeMedium(
        {&l.pick(l.loaded.RawFile_Array), &l.pick(l.loaded.Video_Array), &l.pick(l.loaded.Ext_Array)}));
    return source;
}

void BM_PhotoGeneralMemory(benchmark::State& state) {
    photoScan(state, photoMedium(), false);
}
void BM_PhotoBothPassesMemory(benchmark::State& state) {
    photoScan(state, photoMedium(), true);
}

void BM_PhotoGeneralFile(benchmark::State& state) {
    const MediumFile file(photoMedium().bytes());
    const auto source = openFileSource(file.path());
    photoScan(state, *source, false);
}

void BM_PhotoGeneralFileRead(benchmark::State& state) {
    const MediumFile file(photoMedium().bytes());
    const auto source = openFileSource(file.path());
    ReadOnlySource reads(*source);
    photoScan(state, reads, false);
}

void BM_RawAllTypesMemory(benchmark::State& state) {
    const auto& l = lists();
    rawScan(state, rawMedium(), l.pick(l.loaded.RawFile_Array), l.pick(l.loaded.Adv_RawFile_Array), false);
}

void BM_VideoBothPassesMemory(benchmark::State& state) {
    const auto& l = lists();
    rawScan(state, rawMedium(), l.pick(l.loaded.Video_Array), l.pick(l.loaded.Adv_Video_Array), true);
}

void BM_RawAllTypesFile(benchmark::State& state) {
    const auto& l = lists();
    const MediumFile file(rawMedium().bytes());
    const auto source = openFileSource(file.path());
    rawScan(state, *source, l.pick(l.loaded.RawFile_Array), l.pick(l.loaded.Adv_RawFile_Array), false);
}

void BM_RawAllTypesFileRead(benchmark::State& state) {
    const auto& l = lists();
    const MediumFile file(rawMedium().bytes());
    const auto source = openFileSource(file.path());
    ReadOnlySource reads(*source);
    rawScan(state, reads, l.pick(l.loaded.RawFile_Array), l.pick(l.loaded.Adv_RawFile_Array), false);
}

BENCHMARK(BM_PhotoGeneralMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotoBothPassesMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotoGeneralFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PhotoGeneralFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawAllTypesMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_VideoBothPassesMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawAllTypesFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawAllTypesFileRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
