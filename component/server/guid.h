// Class and interface identifiers: comparison and their registry text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "corvanepdf/abi.h"

namespace corvane::component::server {

[[nodiscard]] bool same_guid(const CpdfGuid& a, const CpdfGuid& b);
// Upper-case hex in braces.
[[nodiscard]] std::string guid_text(const CpdfGuid& guid);
// Parses the braced form (hex digits of either case); nullopt when malformed.
[[nodiscard]] std::optional<CpdfGuid> parse_guid(std::string_view text);

}  // namespace corvane::component::server
