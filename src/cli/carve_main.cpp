#include "cli/carve_main.h"

#include "carving/found_groups.h"
#include "carving/scan.h"
#include "carving/sector_source.h"
#include "cli/carve_options.h"
#include "cli/carve_sink.h"
#include "cli/json_line.h"
#include "cli/media_listing.h"
#include "cli/progress_display.h"
#include "cli/stop_signals.h"
#include "cli/text_table.h"
#include "cli/type_selection.h"
#include "common/resource_folder.h"
#include "media/enumeration.h"
#include "range/sector_range.h"
#include "results/destination_check.h"
#include "results/saver.h"
#include "results/traced_names.h"
#include "results/validated_saver.h"
#include "signatures/checklist.h"
#include "signatures/definition_parser.h"
#include "traces/trace_scanner.h"

#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace quarry::cli {
namespace {

constexpr int kExitScanned = 0;
constexpr int kExitSourceUnreadable = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSaveFailed = 3;
constexpr int kExitOutputFailed = 4;

constexpr const char* kReadError = "Error in storage media reading.";

// A failure that ends the run before the scan: what to print and the exit status.
struct Refusal {
    int status;
    std::string text;
};

Refusal usageError(const std::string& problem) {
    return {kExitUsage, "quarry-carve: " + problem + "\nTry 'quarry-carve --help' for more information."};
}

Refusal unreadableSource(const std::string& source, const std::string& problem) {
    return {kExitSourceUnreadable, std::string(kReadError) + "\nquarry-carve: " + source + ": " + problem};
}

// The application stays silent about its definition files; here a file of the chosen mode that
// could not be used, or lost records, is worth a word.
void warnAboutDefinitions(std::ostream& err, CarveMode mode, const signatures::SignatureLists& all) {
    const std::size_t first = mode == CarveMode::Photo ? 0 : mode == CarveMode::Video ? 2 : 4;
    for (std::size_t k = first; k < first + 2 && k < all.reports.size(); ++k) {
        const auto& report = all.reports[k];
        std::string problem;
        switch (report.problem) {
        case signatures::DefinitionFileProblem::None:
            break;
        case signatures::DefinitionFileProblem::Missing:
            problem = "is missing";
            break;
        case signatures::DefinitionFileProblem::Unreadable:
            problem = "cannot be read";
            break;
        case signatures::DefinitionFileProblem::NotUtf8:
            problem = "is not UTF-8 text";
            break;
        }
        if (!problem.empty())
            err << "quarry-carve: warning: definition file " << report.path << ' ' << problem
                << "; its signatures are not searched for\n";
        if (report.malformedRecords > 0)
            err << "quarry-carve: warning: " << report.path << ": " << report.malformedRecords
                << " record(s) with a size or header position out of range were skipped\n";
    }
    err << std::flush;
}

// The lists one scan runs with, after the type selection.
struct ScanLists {
    signatures::SignatureList general;
    signatures::SignatureList thorough;
    carving::FoundFileGroups groups;
};

std::optional<Refusal> selectLists(const CarveOptions& options, const signatures::SignatureLists& all,
                                   ScanLists& lists) {
    if (options.mode == CarveMode::Photo) {
        lists.general = all.Ext_Array;
        lists.thorough = all.Adv_Ext_Array;
        if (options.types) {
            if (auto unknown = unknownPhotoType(lists.general, lists.thorough, *options.types);
                !unknown.empty())
                return usageError("unknown file type '" + unknown + "'");
            lists.general = keepTypes(lists.general, *options.types);
            lists.thorough = keepTypes(lists.thorough, *options.types);
        }
        return std::nullopt;
    }
    const bool video = options.mode == CarveMode::Video;
    const auto& general = video ? all.Video_Array : all.RawFile_Array;
    const auto& thorough = video ? all.Adv_Video_Array : all.Adv_RawFile_Array;
    // The check box is always on when the list is built; --no-thorough acts at confirmation.
    auto rows = signatures::buildCheckList(general, thorough, true);
    if (options.types) {
        if (auto unknown = tickOnly(rows, *options.types); !unknown.empty()) {
            const auto family = familyOf(rows, unknown);
            return usageError("unknown file type '" + unknown + "'" +
                              (family.empty() ? "" : "; such files are found as " + family));
        }
    }
    auto confirmed = carving::confirmCheckList(rows, general, thorough, options.thorough, lists.groups);
    if (!signatures::Check_For_One_Extension_Selection(rows))
        return Refusal{kExitUsage, "Please select atleast one extension type."};
    lists.general = std::move(confirmed.CheckListHeader_Array);
    lists.thorough = std::move(confirmed.CheckListHeader_Adv_Array);
    return std::nullopt;
}

std::optional<Refusal> scanBounds(const CarveOptions& options, std::uint64_t sectors,
                                  range::ScanBounds& bounds) {
    const auto sectorsText = std::to_string(sectors);
    if (!options.startText) {
        bounds = range::computeScanBounds(true, false, sectorsText, "", "");
        return std::nullopt;
    }
    if (auto alert = range::validateSectorRange(*options.startText, *options.endText, sectorsText)) {
        std::string text = alert->message.starts_with('\n') ? alert->message.substr(1) : alert->message;
        if (!alert->informative.empty())
            text += "\n" + alert->informative;
        return Refusal{kExitUsage, text};
    }
    bounds = range::computeScanBounds(false, true, sectorsText, *options.startText, *options.endText);
    return std::nullopt;
}

results::SearchKind searchKind(CarveMode mode) {
    switch (mode) {
    case CarveMode::Photo:
        return results::SearchKind::Photo;
    case CarveMode::Video:
        return results::SearchKind::Video;
    case CarveMode::Raw:
        return results::SearchKind::File;
    }
    return results::SearchKind::File;
}

const char* statusText(carving::ScanStatus status) {
    return status == carving::ScanStatus::Stopped ? "stopped" : "complete";
}

void printEndEvent(std::ostream& out, const carving::ScanResult& result,
                   const carving::FoundFileGroups& groups, const CarveSink& sink, bool saving) {
    std::string array = "[";
    for (const auto& group : groups.snapshot()) {
        if (array.size() > 1)
            array += ',';
        array += JsonObject()
                     .add("FileTypes", group.FileTypes)
                     .add("NoOfFile", group.NoOfFile)
                     .add("FileName", group.FileName)
                     .str();
    }
    array += ']';
    JsonObject end;
    end.add("event", "end")
        .add("status", statusText(result.status))
        .add("sectors_scanned", result.sectorsScanned)
        .add("bad_sectors", result.badSectors)
        .addRaw("groups", array);
    if (saving)
        end.add("saved", sink.itemsSaved())
            .add("verified", sink.itemsChecked(results::FileCheck::Verified))
            .add("unverified", sink.itemsChecked(results::FileCheck::Unverified))
            .add("rejected", sink.itemsChecked(results::FileCheck::Rejected))
            .add("copies", sink.itemsCopies())
            .add("damaged", sink.itemsDamaged())
            .add("named", sink.itemsNamed())
            .add("found_by_name", sink.foundByName());
    out << end.str() << '\n' << std::flush;
}

void printSummary(std::ostream& out, CarveMode mode, const carving::ScanResult& result, const CarveSink& sink,
                  const carving::FoundFileGroups& groups, const results::ItemSaver* saver) {
    std::vector<std::vector<std::string>> facts{
        {"Status:", statusText(result.status)},
        {"Sectors scanned:", std::to_string(result.sectorsScanned)},
        {"Bad sectors:", std::to_string(result.badSectors)},
        {"Items found:", std::to_string(sink.itemsFound())},
    };
    if (saver) {
        facts.push_back({"Items saved:", std::to_string(sink.itemsSaved())});
        facts.push_back({"Verified:", std::to_string(sink.itemsChecked(results::FileCheck::Verified))});
        facts.push_back({"Unverified:", std::to_string(sink.itemsChecked(results::FileCheck::Unverified))});
        facts.push_back({"Rejected:", std::to_string(sink.itemsChecked(results::FileCheck::Rejected))});
        facts.push_back({"Copies skipped:", std::to_string(sink.itemsCopies())});
        facts.push_back({"Named by traces:", std::to_string(sink.itemsNamed())});
        if (mode == CarveMode::Raw)
            facts.push_back({"Found by name:", std::to_string(sink.foundByName())});
        facts.push_back({"Saved into:", saver->folder().string()});
        if (sink.itemsDamaged() > 0)
            facts.push_back({"Damaged files:", std::to_string(sink.itemsDamaged())});
        if (sink.saveFailures() > 0)
            facts.push_back({"Not saved:", std::to_string(sink.saveFailures())});
        if (saver->destinationFull())
            facts.push_back({"Saving stopped:", "the destination disk is full"});
    }
    for (const auto& fact : facts)
        out << fact[0] << std::string(18 - fact[0].size(), ' ') << fact[1] << '\n';
    out << '\n';
    if (saver && !sink.savedTypes().empty()) {
        // Files whose container several types share are saved under what they really are.
        std::vector<std::vector<std::string>> saved;
        for (const auto& [type, count] : sink.savedTypes())
            saved.push_back({type, std::to_string(count)});
        out << formatTable({"Saved as", "Files"}, saved) << '\n';
    }

    std::vector<std::vector<std::string>> rows;
    if (mode == CarveMode::Photo) {
        for (const auto& type : sink.tally())
            rows.push_back(
                {type.type, std::to_string(type.general), std::to_string(type.thorough), type.latest});
        out << formatTable({"Type", "General", "Thorough", "Latest"}, rows);
    } else {
        // A scan searches every ticked type; listing dozens of empty rows would hide the finds.
        std::size_t emptyGroups = 0;
        for (const auto& group : groups.snapshot()) {
            if (group.NoOfFile == "0")
                ++emptyGroups;
            else
                rows.push_back({group.FileTypes, group.NoOfFile, group.FileName});
        }
        if (!rows.empty())
            out << formatTable({"Type", "Found", "Latest"}, rows);
        if (emptyGroups > 0)
            out << "No files found of " << emptyGroups << (rows.empty() ? "" : " other") << " searched type"
                << (emptyGroups == 1 ? "" : "s") << ".\n";
    }
    out << std::flush;
}

unsigned plannedPasses(const CarveOptions& options, const ScanLists& lists) {
    return options.thorough && !lists.thorough.empty() ? 2 : 1;
}

int runScan(std::ostream& out, std::ostream& err, const CarveOptions& options) {
    auto report = [&](const Refusal& refusal) {
        err << refusal.text << '\n' << std::flush;
        return refusal.status;
    };

    std::string problem;
    auto source = carving::openFileSourceOrSayWhy(options.source, problem);
    if (!source)
        return report(unreadableSource(options.source, problem));
    if (source->sectorCount() == 0)
        return report(unreadableSource(options.source, "the medium is empty"));

    range::ScanBounds bounds;
    if (auto refusal = scanBounds(options, source->sectorCount(), bounds))
        return report(*refusal);

    const auto all = signatures::loadSignatureLists(options.resources.value_or(defaultResourceFolder()));
    warnAboutDefinitions(err, options.mode, all);
    // Video and raw-file modes say so through their empty check list.
    if (options.mode == CarveMode::Photo && all.Ext_Array.empty() && all.Adv_Ext_Array.empty())
        return report({kExitUsage, "quarry-carve: there are no photo signatures to search with"});
    ScanLists lists;
    if (auto refusal = selectLists(options, all, lists))
        return report(*refusal);

    std::optional<results::ItemSaver> saver;
    std::unique_ptr<carving::SectorSource> itemSource;
    results::SavedExtents savedExtents;
    std::optional<results::ValidatedSaver> validatedSaver;
    std::optional<results::TracedNaming> naming;
    if (options.output) {
        saver.emplace(*options.output, searchKind(options.mode));
        if (auto refusal = results::DestinationCheck().refusal(saver->folder(), options.source))
            return report({kExitUsage, refusal->substr(1)});
        // Found out now, not after every item of a long scan has failed.
        if (const auto why = saver->prepareDestination(); !why.empty())
            return report({kExitUsage, "quarry-carve: " + why});
        // Items are measured and copied through a handle of their own so the scan's reads stay
        // sequential.
        itemSource = carving::openFileSourceOrSayWhy(options.source, problem);
        if (!itemSource)
            return report(unreadableSource(options.source, problem));
        validatedSaver.emplace(*saver, itemSource.get(), savedExtents, options.keepRejected);
        naming.emplace(*saver);
    }

    Console console(err, &err == &std::cerr && ::isatty(STDERR_FILENO) == 1);
    carving::ScanControl control;
    // Ctrl-C also abandons a long copy of an item; the partial file is removed.
    if (saver)
        saver->setStopRequest([&control] { return control.stop_now.load() == 1; });
    CarveSink sink(out, console, options.json, control.stop_now);
    sink.saveInto(validatedSaver ? &*validatedSaver : nullptr);
    sink.setFilters(options.minSize, options.minPixels);
    sink.nameWith(naming ? &*naming : nullptr);
    traces::TraceScanner traces;
    std::optional<ProgressDisplay> progress;
    if (!options.json)
        progress.emplace(console, control, bounds.start_sector, bounds.end_sector,
                         plannedPasses(options, lists));
    sink.showProgress(progress ? &*progress : nullptr);

    carving::ScanResult result;
    {
        StopOnSignals stopOnSignals(control.stop_now);
        carving::ScanRequest request{source.get(),   bounds.start_sector, bounds.end_sector,
                                     &lists.general, &lists.thorough,     options.thorough};
        request.observer = &traces;
        if (options.mode == CarveMode::Photo) {
            carving::PhotoCounters counters;
            result = carving::runPhotoScan(request, control, counters, sink);
        } else {
            result = carving::runRawScan(request, control, lists.groups, sink);
        }
    }
    if (progress)
        progress->finish(result.status == carving::ScanStatus::Stopped, result.sectorsScanned);

    if (result.status == carving::ScanStatus::OpenFailure)
        return report({kExitSourceUnreadable, kReadError});
    if (naming) {
        // Named once the scan is over: a trace may lie past the item it names.
        traces.finish(source->sectorCount());
        sink.tracedFiles(naming->nameSaved(traces), false);
        // Raw-file mode also saves the files that only their traces know of; never more bytes
        // than the medium holds.
        if (options.mode == CarveMode::Raw && result.status == carving::ScanStatus::Complete)
            sink.tracedFiles(naming->saveTracedOnly(traces, *itemSource, source->sectorCount() * kSectorSize),
                             true);
    }
    if (options.json)
        printEndEvent(out, result, lists.groups, sink, saver.has_value());
    else
        printSummary(out, options.mode, result, sink, lists.groups, saver ? &*saver : nullptr);
    return sink.saveFailures() > 0 ? kExitSaveFailed : kExitScanned;
}

// The command without the check of its standard output.
int runCommand(std::ostream& out, std::ostream& err, int argc, char** argv) {
    const auto parsed = parseCarveArguments(std::vector<std::string>(argv, argv + argc));
    const auto& options = parsed.options;
    if (options.help) {
        out << usageText() << std::flush;
        return kExitScanned;
    }
    if (!parsed.error.empty()) {
        err << usageError(parsed.error).text << '\n' << std::flush;
        return kExitUsage;
    }
    try {
        if (options.listMedia) {
            printMediaTable(out, media::listMountedMedia(), options.json);
            return kExitScanned;
        }
        return runScan(out, err, options);
    } catch (const std::exception& e) {
        err << "quarry-carve: " << e.what() << '\n' << std::flush;
        return kExitSourceUnreadable;
    }
}

} // namespace

int carve_main(std::ostream& out, std::ostream& err, int argc, char** argv) {
    const int status = runCommand(out, err, argc, argv);
    // Results that could not be written (a full disk, a closed pipe) fail the run, whatever
    // the scan did.
    if (!out.flush()) {
        err << "quarry-carve: cannot write to the standard output\n" << std::flush;
        return kExitOutputFailed;
    }
    return status;
}

} // namespace quarry::cli
