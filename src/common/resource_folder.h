#pragma once

#include <string>

namespace quarry {

// The folder that holds the definition files, "Help.pdf", "NoPreview.png" and the other
// resources: <directory of the running binary>/../share/quarry. The build tree mirrors the
// install tree, so the same rule serves both. The environment variable QUARRY_RESOURCES
// overrides it (tests and portable installs).
std::string defaultResourceFolder();

} // namespace quarry
