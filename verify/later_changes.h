// What changed after each of a document's signatures, judged once per
// update: the revisions are taken in file order, each stretch between two
// consecutive signature ends (and from the last of them to the file's last
// revision) is compared by the change analysis once, and a signature gets
// the union of the stretches after its own end. Every stretch opens its
// two revisions only, one pair at a time, so the cost follows the number
// and size of the updates, not the number of signatures times the
// document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_source.h"
#include "verify/change_analysis.h"
#include "verify/signature_report.h"

namespace corvane::verify {

// The changes after each revision end in `signed_ends` (any order, may
// repeat, each below `last_end`), in the same order, without permissions.
// Never throws.
[[nodiscard]] std::vector<AfterSignature> changes_after(const platform::ByteSource& file, const std::vector<std::uint64_t>& signed_ends,
                                                        std::uint64_t last_end, const std::string& password,
                                                        const std::vector<KnownSignature>& signatures);

}  // namespace corvane::verify
