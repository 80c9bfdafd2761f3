#pragma once

#include "media/media_record.h"

#include <ostream>
#include <vector>

namespace quarry::cli {

// The media table: a text table, or with `json` one object per row with the keys
// Collumn1…Collumn6.
void printMediaTable(std::ostream& out, const std::vector<media::MyDataObject>& media, bool json);

} // namespace quarry::cli
