// The verify command's report as text: one block of lines per signature and
// a summary line (two more when signers are not trusted or a digest is weak).
#pragma once

#include <ostream>

#include "verify/signature_report.h"

namespace corvane::cli {

// Prints an opened document's report to `out`; a store that could not be
// opened is noted on `err`.
void print_text_report(std::ostream& out, std::ostream& err, const verify::DocumentReport& report);

}  // namespace corvane::cli
