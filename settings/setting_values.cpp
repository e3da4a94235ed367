#include "settings/setting_values.h"

#include <charconv>

#include "settings/registry.h"

namespace corvane::settings {

std::string read_setting(std::string_view name) {
  std::string value = reg_read(std::string(kUserBase) + std::string(name));
  if (value.empty()) value = reg_read(std::string(kMachineBase) + std::string(name));
  return value;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<long> whole_number(const std::string& text) {
  const std::string t = trimmed(text);
  long value = 0;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || error != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

}  // namespace corvane::settings
