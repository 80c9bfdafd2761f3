#include "cli/carve_sink.h"

#include "cli/json_line.h"
#include "cli/progress_display.h"
#include "common/sector.h"
#include "results/traced_names.h"
#include "results/validated_saver.h"

#include <algorithm>

namespace quarry::cli {

void CarveSink::passStarted(carving::PassKind pass, const char* modeLabel) {
    if (progress_)
        progress_->passStarted(pass, modeLabel);
}

void CarveSink::itemFound(carving::PassKind pass, const std::string& name, const std::string& uid,
                          std::uint64_t start, std::uint64_t end, std::uint64_t unreadable,
                          const results::SavedItem* saved, const char* skipped) {
    ++items_;
    // What was saved is what counts: it may reach past the carved item, or stop short of it.
    if (saved && saved->save.ok)
        unreadable = saved->save.unreadableSectors;
    const bool general = pass == carving::PassKind::General;
    if (json_) {
        JsonObject event;
        event.add("event", "item")
            .add("pass", general ? "general" : "thorough")
            .add("name", name)
            .add("uid", uid)
            .add("start_sector", start)
            .add("end_sector", end)
            .add("unreadable_sectors", unreadable);
        if (saved) {
            const auto textOrNull = [&](std::string_view key, const std::string& text) {
                if (text.empty())
                    event.addRaw(key, "null");
                else
                    event.add(key, text);
            };
            textOrNull("saved_path", saved->save.ok ? saved->save.path.string() : std::string());
            event.add("saved_bytes", saved->save.ok ? saved->save.bytes : 0)
                .addRaw("validated", saved->check == results::FileCheck::Verified ? "true" : "false")
                .add("check", results::fileCheckName(saved->check))
                .add("type", saved->type);
            textOrNull("duplicate_of", saved->duplicateOf);
            textOrNull("part_of", saved->partOf);
            if (saved->fragmentCandidates > 0)
                event.add("fragment_candidates", saved->fragmentCandidates).add("pieces", saved->pieces);
        }
        if (skipped)
            event.add("skipped", skipped);
        if (!(out_ << event.str() << '\n' << std::flush))
            stopNow_ = 1;
    }
    const std::string type(results::itemExtension(name));
    auto row = std::find_if(tally_.begin(), tally_.end(), [&](const TypeTally& t) { return t.type == type; });
    if (row == tally_.end())
        row = tally_.insert(tally_.end(), TypeTally{type, 0, 0, {}});
    ++(general ? row->general : row->thorough);
    row->latest = name;
}

std::uint64_t CarveSink::itemsChecked(results::FileCheck check) const {
    return checks_[static_cast<int>(check)];
}

void CarveSink::reportSave(const std::string& name, const results::SavedItem& saved) {
    const auto& result = saved.save;
    ++checks_[static_cast<int>(saved.check)];
    if (result.stopped)
        return; // abandoned on Ctrl-C: the scan is stopping too
    if (saved.skipped) {
        if (!saved.duplicateOf.empty() || !saved.partOf.empty())
            ++copies_;
        return;
    }
    if (!result.ok) {
        ++saveFailures_;
        if (!result.destinationFull)
            console_.message("quarry-carve: cannot save " + name + ": " + result.error);
        else if (!fullReported_)
            console_.message(std::string(results::kDestinationFullAlert).substr(1));
        fullReported_ = fullReported_ || result.destinationFull;
        return;
    }
    ++saved_;
    const std::string type(results::itemExtension(result.path.filename().string()));
    auto row =
        std::find_if(savedTypes_.begin(), savedTypes_.end(), [&](const auto& t) { return t.first == type; });
    if (row == savedTypes_.end())
        row = savedTypes_.insert(savedTypes_.end(), {type, 0});
    ++row->second;
    if (result.unreadableSectors > 0)
        ++damaged_;
    if (result.unreadableSectors > 0)
        console_.message("quarry-carve: " + std::to_string(result.unreadableSectors) +
                         " unreadable sectors of " + name + " were saved as zeros");
}

const char* CarveSink::filteredOut(std::uint64_t bytes, const std::span<const std::uint8_t>* photo) const {
    if (bytes < minSize_)
        return "min-size";
    if (photo && minPixels_) {
        const auto size = results::pictureSize(*photo);
        if (!size || !results::atLeast(*size, *minPixels_))
            return "min-pixels";
    }
    return nullptr;
}

void CarveSink::photoItem(carving::PassKind pass, std::span<const std::uint8_t> bytes,
                          const std::string& name, const std::string& uid, std::uint64_t firstSector,
                          std::uint64_t endSector, std::uint64_t unreadableSectors) {
    if (const char* skipped = filteredOut(bytes.size(), &bytes)) {
        itemFound(pass, name, uid, firstSector, endSector, unreadableSectors, nullptr, skipped);
        return;
    }
    if (!saver_) {
        itemFound(pass, name, uid, firstSector, endSector, unreadableSectors, nullptr);
        return;
    }
    const auto saved = saver_->savePhoto(name, bytes, firstSector, unreadableSectors);
    reportSave(name, saved);
    if (naming_)
        naming_->remember(name, firstSector, saved);
    itemFound(pass, name, uid, firstSector, endSector, unreadableSectors, &saved);
}

void CarveSink::rawItem(carving::PassKind pass, const std::string& name, const std::string& uid,
                        std::uint64_t startSector, std::uint64_t endSector, std::uint64_t unreadableSectors) {
    const std::uint64_t carved = endSector > startSector ? (endSector - startSector) * kSectorSize : 0;
    if (const char* skipped = filteredOut(carved, nullptr)) {
        itemFound(pass, name, uid, startSector, endSector, unreadableSectors, nullptr, skipped);
        return;
    }
    if (!saver_) {
        itemFound(pass, name, uid, startSector, endSector, unreadableSectors, nullptr);
        return;
    }
    const auto saved = saver_->saveSectors(name, startSector, endSector);
    reportSave(name, saved);
    if (naming_)
        naming_->remember(name, startSector, saved);
    itemFound(pass, name, uid, startSector, endSector, unreadableSectors, &saved);
}

void CarveSink::tracedFiles(const std::vector<results::NamedFile>& files, bool tracedOnly) {
    for (const auto& file : files) {
        const auto& trace = *file.trace;
        const bool ok = file.save.ok && file.save.error.empty();
        if (tracedOnly && !file.save.ok) {
            ++saveFailures_;
            if (!file.save.destinationFull && !file.save.stopped)
                console_.message("quarry-carve: cannot save " + trace.name + ": " + file.save.error);
        } else if (ok) {
            ++(tracedOnly ? foundByName_ : named_);
        }
        if (!json_)
            continue;
        JsonObject event;
        event.add("event", tracedOnly ? "traced" : "named");
        if (!tracedOnly)
            event.add("name", file.itemName);
        event.add("original_name", trace.name).add("original_path", results::tracedPath(trace));
        if (trace.mtime)
            event.add("mtime", results::isoTime(*trace.mtime));
        else
            event.addRaw("mtime", "null");
        if (file.save.ok)
            event.add("saved_path", file.save.path.string());
        else
            event.addRaw("saved_path", "null");
        event.add("saved_bytes", file.save.ok ? file.save.bytes : 0)
            .add("size", trace.bytes)
            .add("fragments", static_cast<std::uint64_t>(trace.extents.size()))
            .addRaw("deleted", trace.deleted ? "true" : "false");
        if (!(out_ << event.str() << '\n' << std::flush))
            stopNow_ = 1;
    }
}

} // namespace quarry::cli
