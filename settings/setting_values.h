// Reading one value of the pdf key as the component's settings are read:
// the user key first, then the machine key; and the whole numbers and
// switches such values hold.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::settings {

// The value `name` of the user key, else of the machine key; "" when
// neither has it.
[[nodiscard]] std::string read_setting(std::string_view name);
// `text` without the blanks and tabs around it.
[[nodiscard]] std::string trimmed(const std::string& text);
// The whole number `text` holds (blanks around it ignored); nullopt for
// anything else, an empty text or a number out of range.
[[nodiscard]] std::optional<long> whole_number(const std::string& text);

}  // namespace corvane::settings
