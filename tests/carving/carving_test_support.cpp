#include "carving_test_support.h"

#include <cstring>
#include <ostream>

namespace quarry::carving::test_support {

void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position) {
    const std::string firstByte =
        header.size() >= 2 ? std::to_string(signatures::hex2int(header.substr(0, 2))) : "";
    addRecord(list, extension, maxSize, header, position, firstByte);
}

void addRecord(signatures::SignatureList& list, const std::string& extension, const std::string& maxSize,
               const std::string& header, const std::string& position, const std::string& firstByte) {
    list.insert(list.end(), {extension, maxSize, header, position, "", "description", firstByte});
}

void Image::put(std::uint64_t sector, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
    std::memcpy(bytes_.data() + sector * kSectorSize + offset, bytes.data(), bytes.size());
}

void Image::fill(std::uint64_t sector, std::uint8_t value) {
    std::memset(bytes_.data() + sector * kSectorSize, value, kSectorSize);
}

void Image::randomize(std::mt19937_64& random, std::uint64_t first, std::uint64_t end) {
    for (std::size_t i = first * kSectorSize; i < end * kSectorSize; i += 8) {
        const std::uint64_t word = random();
        std::memcpy(bytes_.data() + i, &word, 8);
    }
}

Image Image::shifted(std::uint64_t k) const {
    Image out(sectors() + k);
    std::memcpy(out.bytes_.data() + k * kSectorSize, bytes_.data(), bytes_.size());
    return out;
}

std::vector<std::uint8_t> hexBytes(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

void RecordingSink::passStarted(PassKind pass, const char* modeLabel) {
    events.push_back({"pass", pass, "", "", 0, 0, 0, 0, control_.for_index.load()});
    labels.emplace_back(modeLabel);
}

void RecordingSink::photoItem(PassKind pass, std::span<const std::uint8_t> bytes, const std::string& name,
                              const std::string& uid, std::uint64_t firstSector, std::uint64_t endSector,
                              std::uint64_t unreadableSectors) {
    std::uint64_t checksum = 1469598103934665603ULL;
    for (const std::uint8_t b : bytes) {
        checksum = (checksum ^ b) * 1099511628211ULL;
    }
    events.push_back({"photo", pass, name, uid, firstSector, endSector, bytes.size(), checksum,
                      control_.for_index.load(), unreadableSectors});
    photos.emplace_back(bytes.begin(), bytes.end());
    itemDone();
}

void RecordingSink::rawItem(PassKind pass, const std::string& name, const std::string& uid,
                            std::uint64_t startSector, std::uint64_t endSector,
                            std::uint64_t unreadableSectors) {
    events.push_back(
        {"raw", pass, name, uid, startSector, endSector, 0, 0, control_.for_index.load(), unreadableSectors});
    if (groups != nullptr) {
        const auto dot = name.rfind('.');
        countsAtHandOver.push_back(groups->countFor(name.substr(dot + 1)).value_or(0));
    }
    itemDone();
}

void RecordingSink::itemDone() {
    ++items_;
    if (stopControl_ != nullptr && items_ == stopAfter_) {
        stopControl_->stop_now.store(1);
    }
}

std::vector<Item> items(const std::vector<Event>& events) {
    std::vector<Item> out;
    for (const Event& e : events) {
        if (e.kind != "pass") {
            out.push_back({e.name, e.first, e.end});
        }
    }
    return out;
}

std::ostream& operator<<(std::ostream& out, const Item& item) {
    return out << item.name << " [" << item.first << ", " << item.end << ")";
}

std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << e.kind << (e.pass == PassKind::General ? " general " : " thorough ") << e.name
               << " uid=" << e.uid << " [" << e.first << ", " << e.end << ") bytes=" << e.bytes
               << " sum=" << e.checksum << " for_index=" << e.forIndex << " unreadable=" << e.unreadable;
}

} // namespace quarry::carving::test_support
