// PDF date strings ("D:20261204140507+01'00'") as people read them.
#pragma once

#include <string>
#include <string_view>

namespace corvane::verify {

// "2026-12-04T14:05:07+01:00" (platform::iso_8601); "Z" becomes "+00:00"
// and a date without a time zone has none. Missing trailing parts take their first value
// (month and day 01, time 00). Returns `date` unchanged when it is not a
// PDF date.
[[nodiscard]] std::string readable_pdf_date(std::string_view date);

}  // namespace corvane::verify
