// `corvanepdf verify --json`: the report of a document's signatures as one
// JSON document, with the field names the manual lists.
#pragma once

#include <ostream>
#include <string>

#include "verify/verify_document.h"

namespace corvane::verify {

// "none", "all", "include", "exclude".
[[nodiscard]] const char* lock_action_name(FieldLocks::Action action);

// Writes `report` of the document `file` to `out`, with its verdict. A
// document that could not be opened is written as {"file", "verdict",
// "error"}.
void print_verify_json(std::ostream& out, const std::string& file, const DocumentReport& report);

}  // namespace corvane::verify
