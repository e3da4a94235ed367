#include "platform/profile.h"

#include <sys/stat.h>

#include <vector>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/text_case.h"

namespace corvane::platform {
namespace {

// One line of the file, without its line end. Texts are code-page bytes.
struct Line {
  enum class Kind { kSection, kEntry, kOther };
  Kind kind = Kind::kOther;
  std::string text;   // the line as it stands in the file
  std::string name;   // section name or key, without surrounding blanks
  std::string value;  // entries: the value without surrounding blanks
};

struct Profile {
  std::vector<Line> lines;
  std::string line_end = "\n";  // "\r\n" when the file uses it
};

Line parse_line(std::string text) {
  Line line;
  const std::string_view t = trim_blanks(text);
  if (!t.empty() && t.front() == '[') {
    // The name runs to the last "]"; a header without one is no header.
    const auto close = t.rfind(']');
    if (close != std::string_view::npos) {
      line.kind = Line::Kind::kSection;
      line.name = trim_blanks(t.substr(1, close - 1));
    }
  } else if (!t.empty() && t.front() != ';') {
    const auto equals = t.find('=');
    if (equals != std::string_view::npos && equals > 0) {
      line.kind = Line::Kind::kEntry;
      line.name = trim_blanks(t.substr(0, equals));
      line.value = trim_blanks(t.substr(equals + 1));
    }
  }
  line.text = std::move(text);
  return line;
}

Profile parse_profile(std::string_view bytes) {
  Profile profile;
  std::size_t start = 0;
  bool first = true;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    const bool has_end = end != std::string_view::npos;
    if (!has_end) end = bytes.size();
    std::string_view text = bytes.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') {
      text.remove_suffix(1);
      if (first) profile.line_end = "\r\n";
    }
    first = false;
    profile.lines.push_back(parse_line(std::string(text)));
    start = has_end ? end + 1 : bytes.size();
  }
  return profile;
}

std::string serialize(const Profile& profile) {
  std::string out;
  for (const Line& line : profile.lines) out += line.text + profile.line_end;
  return out;
}

// Index of the header of the first section named `section`, or npos.
std::size_t find_section(const Profile& profile, std::string_view section) {
  for (std::size_t i = 0; i < profile.lines.size(); ++i) {
    const Line& line = profile.lines[i];
    if (line.kind == Line::Kind::kSection && codepage_equal_ignoring_case(line.name, section)) return i;
  }
  return std::string::npos;
}

// One past the last line of the section whose header is at `header`.
std::size_t section_end(const Profile& profile, std::size_t header) {
  std::size_t i = header + 1;
  while (i < profile.lines.size() && profile.lines[i].kind != Line::Kind::kSection) ++i;
  return i;
}

std::size_t find_entry(const Profile& profile, std::size_t header, std::string_view key) {
  const std::size_t end = section_end(profile, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Line& line = profile.lines[i];
    if (line.kind == Line::Kind::kEntry && codepage_equal_ignoring_case(line.name, key)) return i;
  }
  return std::string::npos;
}

std::optional<Profile> load(const std::string& file) {
  const auto bytes = read_whole_file(file);
  if (!bytes) return std::nullopt;
  return parse_profile(*bytes);
}

bool file_exists(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

// Applies one write to `profile`; false when nothing changed.
bool apply_write(Profile& profile, std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value) {
  const std::size_t header = find_section(profile, section);
  auto& lines = profile.lines;
  if (!key) {
    if (header == std::string::npos) return false;
    lines.erase(lines.begin() + static_cast<long>(header),
                lines.begin() + static_cast<long>(section_end(profile, header)));
    return true;
  }
  const std::size_t entry = header == std::string::npos ? std::string::npos : find_entry(profile, header, *key);
  if (!value) {
    if (entry == std::string::npos) return false;
    lines.erase(lines.begin() + static_cast<long>(entry));
    return true;
  }
  if (entry != std::string::npos) {
    Line& line = lines[entry];
    if (line.value == *value) return false;
    line = parse_line(line.name + "=" + std::string(*value));
    return true;
  }
  Line added = parse_line(std::string(*key) + "=" + std::string(*value));
  if (header == std::string::npos) {
    lines.push_back(parse_line("[" + std::string(section) + "]"));
    lines.push_back(std::move(added));
    return true;
  }
  // After the section's last entry, so comments and blank lines that close
  // the section stay where they are.
  std::size_t at = header + 1;
  for (std::size_t i = header + 1; i < section_end(profile, header); ++i)
    if (lines[i].kind == Line::Kind::kEntry) at = i + 1;
  lines.insert(lines.begin() + static_cast<long>(at), std::move(added));
  return true;
}

}  // namespace

std::string_view profile_name_problem(std::string_view key) {
  if (key.empty()) return "is empty";
  if (key.front() == ';') return "starts with \";\"";
  for (char c : key) {
    if (c == '=') return "holds \"=\"";
    if (c == '[') return "holds \"[\"";
    if (c == ']') return "holds \"]\"";
  }
  return profile_value_problem(key);
}

std::string_view profile_value_problem(std::string_view value) {
  for (char c : value) {
    if (c == '\r' || c == '\n') return "holds a line break";
    if (c == '\0') return "holds a NUL character";
  }
  return "";
}

std::string profile_read_section(const std::string& file, std::string_view section, std::size_t buffer_chars) {
  const auto profile = load(file);
  if (!profile) return "";
  const std::string name = utf8_to_codepage(trim_blanks(section));
  const std::size_t header = find_section(*profile, name);
  if (header == std::string::npos) return "";
  std::string out;
  const std::size_t end = section_end(*profile, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Line& line = profile->lines[i];
    if (line.kind != Line::Kind::kEntry) continue;
    out += line.name + "=" + line.value;
    out += '\0';
  }
  if (out.size() + 1 > buffer_chars) out.resize(buffer_chars < 2 ? 0 : buffer_chars - 2);
  return codepage_to_utf8(out);
}

std::string profile_read_string(const std::string& file, std::string_view section, std::string_view key,
                                std::string_view fallback, std::size_t buffer_chars) {
  std::string result = utf8_to_codepage(fallback);
  if (const auto profile = load(file)) {
    const std::size_t header = find_section(*profile, utf8_to_codepage(trim_blanks(section)));
    if (header != std::string::npos) {
      const std::size_t entry = find_entry(*profile, header, utf8_to_codepage(trim_blanks(key)));
      if (entry != std::string::npos) result = profile->lines[entry].value;
    }
  }
  if (result.size() + 1 > buffer_chars) result.resize(buffer_chars == 0 ? 0 : buffer_chars - 1);
  return codepage_to_utf8(result);
}

bool profile_write_string(const std::string& file, std::string_view section,
                          std::optional<std::string_view> key, std::optional<std::string_view> value,
                          std::string* why) {
  const std::string section_cp = utf8_to_codepage(trim_blanks(section));
  std::optional<std::string> key_cp;
  std::optional<std::string> value_cp;
  if (key) key_cp = utf8_to_codepage(trim_blanks(*key));
  if (value) value_cp = utf8_to_codepage(trim_blanks(*value));
  if (!profile_name_problem(section_cp).empty() || (key_cp && !profile_name_problem(*key_cp).empty()) ||
      (value_cp && !profile_value_problem(*value_cp).empty())) {
    if (why) *why = "a name or value would break the file";
    return false;
  }

  const FileLock lock(file);
  Profile profile;
  if (file_exists(file)) {
    auto loaded = load(file);
    if (!loaded) {
      if (why) *why = "it cannot be read (no permission, not a regular file or a link of another user)";
      return false;
    }
    profile = std::move(*loaded);
  }
  if (!apply_write(profile, section_cp, key_cp, value_cp)) return true;
  return replace_file_contents(file, serialize(profile), 0644, /*keep_existing_mode=*/true, why,
                               /*share_with_group=*/true);
}

}  // namespace corvane::platform
