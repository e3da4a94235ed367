// Placeholder until the settings store lands: every setting reads as empty,
// nothing is logged or written.
#include "settings/file_helpers.h"
#include "settings/log.h"
#include "settings/registry.h"

namespace corvane::settings {
std::string reg_read(std::string_view) { return {}; }
bool reg_write_text(std::string_view, std::string_view) { return false; }
bool reg_write_number(std::string_view, std::int32_t) { return false; }
bool reg_create_key(std::uint32_t, std::string_view) { return true; }
void log_line(std::string_view) {}
std::string log_timestamp() { return {}; }
bool write_file(const std::string&, std::span<const std::uint8_t>, bool) { return false; }
void delete_file(const std::string&) {}
std::string text_from_bytes(std::span<const std::uint8_t> data) {
  std::string out(data.begin(), data.end());
  return out.substr(0, out.find('\0'));
}
}  // namespace corvane::settings
