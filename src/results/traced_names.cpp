#include "results/traced_names.h"

#include "carving/extent_source.h"
#include "results/validated_saver.h"

#include <algorithm>
#include <ctime>

namespace quarry::results {

std::string tracedPath(const traces::TracedFile& file) {
    std::string path;
    for (const auto& folder : file.path)
        path += (path.empty() ? "" : "/") + folder;
    return path;
}

std::string isoTime(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = {};
    if (::gmtime_r(&t, &parts) == nullptr ||
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0)
        return {};
    return text;
}

void TracedNaming::remember(const std::string& name, std::uint64_t start, const SavedItem& item) {
    // Only a verified file's length is its real one, to be matched with a trace's size.
    if (item.save.ok && item.check == FileCheck::Verified)
        saved_.push_back({name, start, item.save.bytes, item.save.path});
}

NamedFile TracedNaming::place(const traces::TracedFile& file, std::string itemName, const SaveResult& saved) {
    std::vector<std::string> folders{kFoundByNameFolder};
    folders.insert(folders.end(), file.path.begin(), file.path.end());
    NamedFile named{&file, std::move(itemName), saver_.moveTo(saved.path, folders, file.name, file.mtime)};
    if (!named.save.ok) {
        // It stays where it was saved, under its generic name.
        named.save = saved;
        named.save.error = "kept as saved";
    }
    named.save.unreadableSectors = saved.unreadableSectors;
    named_.push_back(&file);
    return named;
}

std::vector<NamedFile> TracedNaming::nameSaved(const traces::TraceCatalog& traces) {
    std::vector<NamedFile> named;
    for (const auto& item : saved_) {
        const traces::TracedFile* file = traces.fileStartingAt(item.start);
        if (file == nullptr || file->bytes != item.bytes ||
            std::find(named_.begin(), named_.end(), file) != named_.end())
            continue;
        SaveResult saved;
        saved.path = item.path;
        named.push_back(place(*file, item.name, saved));
    }
    saved_.clear();
    return named;
}

std::vector<NamedFile> TracedNaming::saveTracedOnly(const traces::TraceCatalog& traces,
                                                    carving::SectorSource& medium, std::uint64_t budget) {
    std::vector<NamedFile> saved;
    for (const auto& file : traces.files()) {
        // Another trace of the same start (an older entry of a reused cluster) gives way.
        const bool shadowed = !file.extents.empty() && traces.fileStartingAt(file.firstSector()) != &file;
        if (shadowed || file.bytes > budget || std::find(named_.begin(), named_.end(), &file) != named_.end())
            continue;
        budget -= file.bytes;
        SaveResult result;
        if (!file.residentData.empty()) {
            result = saver_.saveBytes(file.name, file.residentData, kFoundByNameFolder);
        } else {
            carving::ExtentSource pieces(medium, file.extents);
            const std::uint64_t bytes = std::min(file.bytes, pieces.sectorCount() * 512);
            result = saver_.saveFromSource(file.name, pieces, 0, bytes, kFoundByNameFolder);
        }
        if (!result.ok) {
            saved.push_back({&file, {}, result});
            if (result.destinationFull || result.stopped)
                break;
            continue;
        }
        saved.push_back(place(file, {}, result));
    }
    return saved;
}

} // namespace quarry::results
