#include "engine_fixture.h"

#include "reference_engines.h"

namespace quarry::carving::test_support {

namespace {

ScanRequest requestFor(SectorSource* source, const ScanSetup& setup) {
    ScanRequest request;
    request.source = source;
    const std::uint64_t sectors = source != nullptr ? source->sectorCount() : 0;
    request.start_sector = setup.start.value_or(0);
    request.end_sector = setup.end.value_or(sectors);
    request.general = setup.general;
    request.thorough = setup.thorough;
    request.thoroughPass = setup.thoroughPass;
    request.blockSectors = setup.blockSectors;
    request.observer = setup.observer;
    return request;
}

ScanRun finish(const ScanResult& result, RecordingSink& sink, const ScanControl& control) {
    return {result,
            std::move(sink.events),
            std::move(sink.photos),
            std::move(sink.countsAtHandOver),
            control.for_index.load(),
            control.stop_now.load()};
}

} // namespace

ScanRun runPhoto(SectorSource* source, const ScanSetup& setup, PhotoCounters& counters, Engine engine) {
    ScanControl control;
    RecordingSink sink(control);
    if (setup.stopAfterItems > 0) {
        sink.stopAfterItems(setup.stopAfterItems, control);
    }
    const auto request = requestFor(source, setup);
    const ScanResult result = engine == Engine::Real ? runPhotoScan(request, control, counters, sink)
                                                     : referencePhotoScan(request, control, counters, sink);
    return finish(result, sink, control);
}

ScanRun runRaw(SectorSource* source, const ScanSetup& setup, FoundFileGroups& groups, Engine engine) {
    ScanControl control;
    RecordingSink sink(control);
    sink.groups = &groups;
    if (setup.stopAfterItems > 0) {
        sink.stopAfterItems(setup.stopAfterItems, control);
    }
    const auto request = requestFor(source, setup);
    const ScanResult result = engine == Engine::Real ? runRawScan(request, control, groups, sink)
                                                     : referenceRawScan(request, control, groups, sink);
    return finish(result, sink, control);
}

void makeGroups(FoundFileGroups& groups, std::initializer_list<const char*> extensions) {
    groups.clear();
    for (const char* extension : extensions) {
        groups.createSignatureListTableRecord(extension, 0, "", "", extension);
    }
}

ScanRun scanShifted(const Image& image, ScanSetup setup, std::uint64_t k,
                    const std::function<ScanRun(SectorSource*, const ScanSetup&)>& run) {
    const Image shifted = image.shifted(k);
    MemorySource source = shifted.source();
    setup.start = setup.start.value_or(0) + k;
    setup.end = setup.end.value_or(image.sectors()) + k;
    ScanRun result = run(&source, setup);
    for (Event& e : result.events) {
        if (e.kind == "photo" || e.kind == "raw") {
            e.first -= k;
            e.end -= k;
        }
        e.forIndex -= k;
    }
    result.forIndexAtEnd -= k;
    return result;
}

} // namespace quarry::carving::test_support
