// The verify command's report as text: one block of lines per signature and
// a summary line (two more when signers are not trusted or a digest is weak).
#pragma once

#include <ostream>
#include <string>

#include "verify/signature_report.h"

namespace corvane::cli {

// Prints an opened document's report to `out`; a store that could not be
// opened is noted on `err`.
// "all fields", "fields "A", "B"", "all fields but "A""; "" for no lock.
[[nodiscard]] std::string locks_text(const verify::FieldLocks& locks);

void print_text_report(std::ostream& out, std::ostream& err, const verify::DocumentReport& report);

}  // namespace corvane::cli
