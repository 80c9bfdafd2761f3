#include "results/photo_summary.h"

#include <algorithm>
#include <libexif/exif-data.h>
#include <limits>
#include <memory>

namespace quarry::results {
namespace {

struct ExifDataDeleter {
    void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifDataPtr = std::unique_ptr<ExifData, ExifDataDeleter>;

ExifEntry* findEntry(ExifData& data, ExifIfd ifd, ExifTag tag) {
    return data.ifd[ifd] ? exif_content_get_entry(data.ifd[ifd], tag) : nullptr;
}

// An ASCII entry up to its first NUL, without the padding cameras put around it.
std::string text(ExifData& data, ExifIfd ifd, ExifTag tag) {
    const ExifEntry* entry = findEntry(data, ifd, tag);
    if (!entry || entry->format != EXIF_FORMAT_ASCII || !entry->data)
        return {};
    const auto* begin = reinterpret_cast<const char*>(entry->data);
    std::string value(begin, std::find(begin, begin + entry->size, '\0'));
    const auto printable = [](char c) {
        return c > ' ' && c != '\x7f';
    };
    const auto first = std::find_if(value.begin(), value.end(), printable);
    const auto last = std::find_if(value.rbegin(), value.rend(), printable).base();
    return first < last ? std::string(first, last) : std::string();
}

// A SHORT or LONG entry's first value; 0 when absent or of another form.
std::uint32_t number(ExifData& data, ExifIfd ifd, ExifTag tag) {
    const ExifEntry* entry = findEntry(data, ifd, tag);
    if (!entry || !entry->data || entry->components < 1)
        return 0;
    const ExifByteOrder order = exif_data_get_byte_order(&data);
    if (entry->format == EXIF_FORMAT_SHORT && entry->size >= 2)
        return exif_get_short(entry->data, order);
    if (entry->format == EXIF_FORMAT_LONG && entry->size >= 4)
        return exif_get_long(entry->data, order);
    return 0;
}

} // namespace

PhotoSummary summarisePhoto(std::span<const std::uint8_t> bytes) {
    PhotoSummary summary;
    if (bytes.empty() || bytes.size() > std::numeric_limits<unsigned int>::max())
        return summary;
    ExifDataPtr data(exif_data_new());
    if (!data)
        return summary;
    // Following the standard would make up mandatory entries, such as today's date.
    exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(data.get(), bytes.data(), static_cast<unsigned int>(bytes.size()));
    ExifData& exif = *data;
    summary.hasExif = std::any_of(std::begin(exif.ifd), std::end(exif.ifd),
                                  [](const ExifContent* ifd) { return ifd && ifd->count > 0; });
    if (!summary.hasExif)
        return summary;
    summary.make = text(exif, EXIF_IFD_0, EXIF_TAG_MAKE);
    summary.model = text(exif, EXIF_IFD_0, EXIF_TAG_MODEL);
    summary.dateTaken = text(exif, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
    if (summary.dateTaken.empty())
        summary.dateTaken = text(exif, EXIF_IFD_0, EXIF_TAG_DATE_TIME);
    summary.width = number(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION);
    summary.height = number(exif, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION);
    const std::uint32_t orientation = number(exif, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    if (orientation >= 1 && orientation <= 8)
        summary.orientation = static_cast<int>(orientation);
    return summary;
}

} // namespace quarry::results
