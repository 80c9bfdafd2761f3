#include "cli/carve_sink.h"

#include "cli/json_line.h"
#include "cli/progress_display.h"
#include "results/saver.h"

#include <algorithm>

namespace quarry::cli {

void CarveSink::passStarted(carving::PassKind pass, const char* modeLabel) {
    if (progress_)
        progress_->passStarted(pass, modeLabel);
}

void CarveSink::itemFound(carving::PassKind pass, const std::string& name, const std::string& uid,
                          std::uint64_t start, std::uint64_t end) {
    ++items_;
    const bool general = pass == carving::PassKind::General;
    if (json_) {
        JsonObject event;
        event.add("event", "item")
            .add("pass", general ? "general" : "thorough")
            .add("name", name)
            .add("uid", uid)
            .add("start_sector", start)
            .add("end_sector", end);
        out_ << event.str() << '\n' << std::flush;
    }
    const std::string type(results::itemExtension(name));
    auto row = std::find_if(tally_.begin(), tally_.end(), [&](const TypeTally& t) { return t.type == type; });
    if (row == tally_.end())
        row = tally_.insert(tally_.end(), TypeTally{type, 0, 0, {}});
    ++(general ? row->general : row->thorough);
    row->latest = name;
}

template <typename Save> void CarveSink::save(const std::string& name, Save&& doSave) {
    const results::SaveResult result = doSave();
    if (!result.ok) {
        ++saveFailures_;
        console_.message("quarry-carve: cannot save " + name + ": " + result.error);
        return;
    }
    ++saved_;
    if (result.unreadableSectors > 0)
        console_.message("quarry-carve: " + std::to_string(result.unreadableSectors) +
                         " unreadable sectors of " + name + " were saved as zeros");
}

void CarveSink::photoItem(carving::PassKind pass, std::span<const std::uint8_t> bytes,
                          const std::string& name, const std::string& uid, std::uint64_t firstSector,
                          std::uint64_t endSector) {
    itemFound(pass, name, uid, firstSector, endSector);
    if (saver_)
        save(name, [&] { return saver_->saveBytes(name, bytes); });
}

void CarveSink::rawItem(carving::PassKind pass, const std::string& name, const std::string& uid,
                        std::uint64_t startSector, std::uint64_t endSector) {
    itemFound(pass, name, uid, startSector, endSector);
    if (saver_ && sectors_)
        save(name, [&] { return saver_->saveSectors(name, *sectors_, startSector, endSector); });
}

} // namespace quarry::cli
