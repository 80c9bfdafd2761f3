#pragma once

#include "carving/found_groups.h"
#include "carving/scan.h"

namespace quarry::carving::test_support {

// The scan rules followed one sector read at a time, trying every record in list order:
// the yardstick for the block-reading engines.
ScanResult referencePhotoScan(const ScanRequest& request, ScanControl& control, PhotoCounters& counters,
                              ScanSink& sink);
ScanResult referenceRawScan(const ScanRequest& request, ScanControl& control, FoundFileGroups& groups,
                            ScanSink& sink);

} // namespace quarry::carving::test_support
