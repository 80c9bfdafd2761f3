#pragma once

#include "signatures/checklist.h"
#include "signatures/definition_parser.h"

#include <string>
#include <vector>

namespace quarry::cli {

// The records of `list` whose extension is one of `types` (exact comparison), in list order.
signatures::SignatureList keepTypes(const signatures::SignatureList& list,
                                    const std::vector<std::string>& types);

// The first of `types` that no record of either list has as its extension; empty when all
// are known.
std::string unknownPhotoType(const signatures::SignatureList& general,
                             const signatures::SignatureList& thorough,
                             const std::vector<std::string>& types);

// Leaves ticked exactly the rows whose extension is one of `types`. Returns the first type
// that no row has, with nothing changed; empty on success.
std::string tickOnly(signatures::CheckList& rows, const std::vector<std::string>& types);

// The row whose description names `type` as one of the types its files are saved as (a family
// record such as OLE for DOC); empty when none does.
std::string familyOf(const signatures::CheckList& rows, const std::string& type);

} // namespace quarry::cli
