#include "cli/carve_options.h"

#include <functional>
#include <map>
#include <string_view>

namespace quarry::cli {
namespace {

using ValueHandler = std::function<std::string(CarveOptions&, const std::string&)>;
using FlagHandler = std::function<void(CarveOptions&)>;

std::string setMode(CarveOptions& options, const std::string& value) {
    static const std::map<std::string, CarveMode, std::less<>> modes{
        {"photo", CarveMode::Photo}, {"video", CarveMode::Video}, {"raw", CarveMode::Raw}};
    const auto found = modes.find(value);
    if (found == modes.end())
        return "invalid mode '" + value + "' (expected photo, video or raw)";
    options.mode = found->second;
    return {};
}

const std::map<std::string, ValueHandler, std::less<>>& valueOptions() {
    static const std::map<std::string, ValueHandler, std::less<>> handlers{
        {"--mode", setMode},
        {"--start",
         [](CarveOptions& o, const std::string& v) {
             o.startText = v;
             return std::string();
         }},
        {"--end",
         [](CarveOptions& o, const std::string& v) {
             o.endText = v;
             return std::string();
         }},
        {"--types",
         [](CarveOptions& o, const std::string& v) {
             o.types = splitTypes(v);
             return std::string();
         }},
        {"--resources",
         [](CarveOptions& o, const std::string& v) {
             o.resources = v;
             return std::string();
         }},
        {"--output",
         [](CarveOptions& o, const std::string& v) {
             if (v.empty())
                 return std::string("--output needs a folder");
             o.output = v;
             return std::string();
         }},
    };
    return handlers;
}

const std::map<std::string, FlagHandler, std::less<>>& flagOptions() {
    static const std::map<std::string, FlagHandler, std::less<>> handlers{
        {"--no-thorough",
         [](CarveOptions& o) {
             o.thorough = false;
         }},
        {"--json",
         [](CarveOptions& o) {
             o.json = true;
         }},
        {"--keep-rejected",
         [](CarveOptions& o) {
             o.keepRejected = true;
         }},
        {"--list-media",
         [](CarveOptions& o) {
             o.listMedia = true;
         }},
        {"--help",
         [](CarveOptions& o) {
             o.help = true;
         }},
        {"-h",
         [](CarveOptions& o) {
             o.help = true;
         }},
    };
    return handlers;
}

// The rules between options, checked once all are read.
std::string checkCombination(const CarveOptions& o, std::size_t sources) {
    if (o.listMedia) {
        const bool scanOptions = o.mode != CarveMode::Photo || o.startText || o.endText || !o.thorough ||
                                 o.types || o.resources || o.output || o.keepRejected || sources > 0;
        return scanOptions ? "--list-media takes no other option than --json" : std::string();
    }
    if (sources == 0)
        return "no SOURCE given";
    if (sources > 1)
        return "more than one SOURCE given";
    if (o.startText.has_value() != o.endText.has_value())
        return "--start and --end go together";
    if (o.keepRejected && !o.output)
        return "--keep-rejected needs --output";
    return {};
}

} // namespace

std::vector<std::string> splitTypes(const std::string& text) {
    std::vector<std::string> types;
    if (text.empty())
        return types;
    std::string_view rest(text);
    while (true) {
        const auto comma = rest.find(',');
        types.emplace_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return types;
}

ParsedArguments parseCarveArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    auto& options = parsed.options;
    std::size_t sources = 0;
    bool optionsEnded = false;
    auto fail = [&](std::string message) {
        if (parsed.error.empty())
            parsed.error = std::move(message);
    };

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.source = arg;
            ++sources;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (const auto flag = flagOptions().find(name); flag != flagOptions().end()) {
            if (equals != std::string::npos)
                fail(name + " takes no value");
            flag->second(options);
            continue;
        }
        const auto valued = valueOptions().find(name);
        if (valued == valueOptions().end()) {
            fail("unknown option '" + arg + "'");
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            fail(name + " needs a value");
            continue;
        }
        if (auto problem = valued->second(options, value); !problem.empty())
            fail(std::move(problem));
    }
    if (!options.help)
        fail(checkCombination(options, sources));
    if (options.help)
        parsed.error.clear();
    return parsed;
}

std::string usageText() {
    return R"usage(Usage: quarry-carve [OPTION]... SOURCE
  or:  quarry-carve --list-media [--json]
  or:  quarry-carve --help

Carves lost files out of SOURCE, a block device or a disk image file, sector by sector
(512-byte sectors), by their header signatures. SOURCE is opened read-only; a device the
user may not read is opened through UDisks2, where it runs, once polkit allows it (it may
ask for a password).

  --mode photo|video|raw  photo (default): photos with the photo lists; video or raw: videos
                          or other files with the check list of the video or raw-file lists
  --start N --end N       scan sectors N (first) up to but not including N (end); both or
                          neither; without them the whole medium is scanned
  --no-thorough           run only the general pass (the thorough pass is on by default)
  --types EXT[,EXT...]    only these file types, by their exact extension (case matters);
                          default all. In photo mode the records of the photo lists whose
                          extension is not named are left out of both passes
  --resources DIR         folder of the six definition files (default: the resource folder)
  --output DIR            save every item to DIR/Quarry (Vez) Results/<search>/
                          General Recovery Results/EXT/NAME after its format check:
                          a file whose structure holds is saved to its real end, and
                          when several types share its container (OLE, ZIP, MPEG-4,
                          RIFF) under the extension of what it really is; a type
                          without a check is saved as carved; a file whose check fails
                          is not saved. A file found again (by the thorough pass, or
                          inside a file saved already) is not saved twice. An existing
                          file is never overwritten, a taken name gets " (2)", " (3)"...
                          before the extension. DIR must not be on the disk being
                          recovered. Saving stops when DIR's disk is full; the scan
                          goes on
  --keep-rejected         with --output, also save the files whose check fails, as
                          carved, into the folder "Unverified" beside the type folders
  --json                  one JSON object per line on stdout: an "item" event for every item
                          found (with --output also "saved_path", "saved_bytes",
                          "validated", "check" (verified, unverified or rejected),
                          "type", "duplicate_of" and "part_of") and an "end" event last;
                          no progress display
  --list-media            print the media that can be scanned and exit
  --help                  print this help and exit

Without --json, progress is shown on stderr and a summary table is printed on stdout.
SIGINT or SIGTERM stops the scan as the Stop button does; the items found so far are kept.

Exit status:
  0  the scan ran, to its end or until stopped
  1  the source cannot be opened ("Error in storage media reading."), is no medium (a
     FIFO, socket, folder or character device) or is empty
  2  usage or validation error, no signatures to search with, or an --output folder that
     is on the disk being recovered or cannot be written
  3  the scan ran, but at least one item could not be saved into the --output folder
  4  the results could not be written to the standard output
)usage";
}

} // namespace quarry::cli
