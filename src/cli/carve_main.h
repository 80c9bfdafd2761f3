#pragma once

#include <ostream>

namespace quarry::cli {

// The command-line carver. Writes results to `out` and messages and progress to `err`;
// returns the exit status (0 scan ran, 1 source unreadable, 2 usage or validation error,
// 3 scan ran but an item could not be saved).
int carve_main(std::ostream& out, std::ostream& err, int argc, char** argv);

} // namespace quarry::cli
