#include "platform/reg_file.h"

#include <strings.h>

#include <cstdio>

#include "platform/codepage.h"
#include "platform/hex.h"

namespace corvane::platform {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && same_text(text.substr(0, prefix.size()), prefix);
}

// UTF-16LE code units to UTF-8; an unpaired surrogate becomes U+FFFD. An odd
// last byte is dropped.
std::string utf16le_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unit_at = [&bytes](std::size_t i) -> char32_t {
    return static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t unit = unit_at(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
      const char32_t low = unit_at(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        append_utf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
    append_utf8(unit, out);
  }
  return out;
}

// A line without what may trail it: blanks, NUL characters and carriage
// returns beyond the one of a CR LF line end (which would otherwise be lost
// one by one each time the file is written with LF line ends and read again).
std::string_view trim_right(std::string_view text) {
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\0' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Reads a quoted text starting at text[pos] == '"' with the escapes \\ and \"
// (a backslash takes the next character as it is). Leaves pos behind the
// closing quote; false when the quote is not closed.
bool read_quoted(std::string_view text, std::size_t& pos, std::string& out) {
  out.clear();
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (++pos >= text.size()) return false;
      out += text[pos];
    } else {
      out += c;
    }
  }
  return false;
}

bool only_blanks_from(std::string_view text, std::size_t pos) {
  return trim_blanks(text.substr(pos)).empty();
}

std::optional<std::uint32_t> parse_dword(std::string_view digits) {
  digits = trim_blanks(digits);
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    const int d = hex_digit_value(c);
    if (d < 0) return std::nullopt;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return value;
}

enum class LineKind { kValue, kKept, kBad };

// Parses one logical value line. A value of a type we do not read becomes a
// kOther value; a deletion ("name"=-) is kept verbatim.
LineKind parse_value_line(std::string_view line, HiveValue& value) {
  std::size_t pos = 0;
  if (line[0] == '@') {
    value.name.clear();
    pos = 1;
  } else if (!read_quoted(line, pos, value.name)) {
    return LineKind::kBad;
  }
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size() || line[pos] != '=') return LineKind::kBad;
  ++pos;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  const std::string_view data = line.substr(pos);
  if (!data.empty() && data[0] == '"') {
    if (!read_quoted(line, pos, value.text) || !only_blanks_from(line, pos)) return LineKind::kBad;
    value.type = HiveValue::Type::kText;
    return LineKind::kValue;
  }
  if (starts_with_nocase(data, "dword:")) {
    const auto number = parse_dword(data.substr(6));
    if (!number) return LineKind::kBad;
    value.type = HiveValue::Type::kDword;
    value.dword = *number;
    value.text = std::to_string(static_cast<std::int32_t>(*number));
    return LineKind::kValue;
  }
  if (starts_with_nocase(data, "hex")) {
    value.type = HiveValue::Type::kOther;
    value.text.clear();
    return LineKind::kValue;
  }
  if (trim_blanks(data) == "-") return LineKind::kKept;
  return LineKind::kBad;
}

std::string quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string value_line(const HiveValue& value) {
  std::string line = value.name.empty() ? std::string("@") : quote(value.name);
  line += '=';
  if (value.type == HiveValue::Type::kDword) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x", static_cast<unsigned>(value.dword));
    line += digits;
  } else {
    line += quote(value.text);
  }
  return line;
}

bool names_value(const RegEntry& entry, std::string_view name) {
  return entry.is_value && same_text(entry.value.name, name);
}

// True when `key` is `ancestor` or lies below it.
bool is_at_or_below(std::string_view key, std::string_view ancestor) {
  if (!starts_with_nocase(key, ancestor)) return false;
  return key.size() == ancestor.size() || key[ancestor.size()] == '\\';
}

}  // namespace

std::optional<RegDocument> parse_reg(std::string_view bytes) {
  RegDocument document;
  std::string decoded;
  if (bytes.starts_with(kUtf16LeBom)) {
    document.encoding = RegEncoding::kUtf16Le;
    decoded = utf16le_to_utf8(bytes.substr(kUtf16LeBom.size()));
  } else if (bytes.starts_with(kUtf8Bom)) {
    document.encoding = RegEncoding::kUtf8Bom;
    decoded = bytes.substr(kUtf8Bom.size());
  } else {
    decoded = bytes;
  }

  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < decoded.size();) {
    std::size_t end = decoded.find('\n', start);
    if (end == std::string::npos) end = decoded.size();
    std::string_view line(decoded.data() + start, end - start);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
      if (lines.empty()) document.crlf = true;
    } else if (lines.empty() && end < decoded.size()) {
      document.crlf = false;
    }
    lines.push_back(line);
    start = end + 1;
  }

  std::size_t i = 0;
  while (i < lines.size() && trim_blanks(trim_right(lines[i])).empty()) ++i;
  if (i == lines.size()) return document;  // an empty file holds no keys
  const std::string_view header = trim_blanks(trim_right(lines[i]));
  if (header != "Windows Registry Editor Version 5.00" && header != "REGEDIT4") return std::nullopt;
  document.header = header;

  RegSection* section = nullptr;
  for (++i; i < lines.size(); ++i) {
    const std::string_view line = trim_right(lines[i]);
    const std::string_view content = trim_blanks(line);
    if (content.empty()) continue;
    if (content[0] == ';') {
      if (section) section->entries.push_back(RegEntry{false, {}, {std::string(line)}});
      else document.preamble.emplace_back(line);
      continue;
    }
    if (content[0] == '[') {
      if (content.back() != ']' || content.size() < 3) return std::nullopt;
      std::string_view key = content.substr(1, content.size() - 2);
      RegSection next;
      if (key[0] == '-') {
        next.deletes = true;
        key.remove_prefix(1);
      }
      next.key = key;
      document.sections.push_back(std::move(next));
      section = &document.sections.back();
      continue;
    }
    if (!section || (content[0] != '"' && content[0] != '@')) return std::nullopt;

    RegEntry entry;
    entry.raw.emplace_back(line);
    switch (parse_value_line(content, entry.value)) {
      case LineKind::kBad: return std::nullopt;
      case LineKind::kKept: break;
      case LineKind::kValue: entry.is_value = true; break;
    }
    // Binary and multi-text values run on over lines that end in a
    // backslash. A blank line ends the value all the same: it continues
    // nothing, and the blank line written after every section must not be
    // taken into a value left open at the end of the file.
    if (entry.is_value && entry.value.type == HiveValue::Type::kOther) {
      while (trim_blanks(entry.raw.back()).ends_with('\\') && i + 1 < lines.size() &&
             !trim_blanks(trim_right(lines[i + 1])).empty())
        entry.raw.emplace_back(trim_right(lines[++i]));
    }
    section->entries.push_back(std::move(entry));
  }
  return document;
}

std::string serialize_reg(const RegDocument& document) {
  const std::string_view eol = document.crlf ? "\r\n" : "\n";
  std::string text = document.header;
  text += eol;
  for (const auto& line : document.preamble) {
    text += line;
    text += eol;
  }
  text += eol;
  for (const auto& section : document.sections) {
    text += section.deletes ? "[-" : "[";
    text += section.key;
    text += ']';
    text += eol;
    for (const auto& entry : section.entries) {
      if (entry.raw.empty()) {
        text += value_line(entry.value);
        text += eol;
      }
      for (const auto& line : entry.raw) {
        text += line;
        text += eol;
      }
      // A value whose last line still ends in a backslash was closed by a
      // blank line or the end of the file: a blank line keeps the line
      // written next from being read as its continuation.
      if (entry.is_value && entry.value.type == HiveValue::Type::kOther && !entry.raw.empty() &&
          trim_blanks(entry.raw.back()).ends_with('\\'))
        text += eol;
    }
    text += eol;
  }

  switch (document.encoding) {
    case RegEncoding::kUtf8: return text;
    case RegEncoding::kUtf8Bom: return std::string(kUtf8Bom) + text;
    case RegEncoding::kUtf16Le: {
      std::string out(kUtf16LeBom);
      append_utf16le(text, TextEncoding::kUtf8, out);
      return out;
    }
  }
  return text;
}

const HiveValue* reg_find_value(const RegDocument& document, std::string_view key,
                                std::string_view name) {
  const HiveValue* found = nullptr;
  for (const auto& section : document.sections) {
    if (section.deletes || !same_text(section.key, key)) continue;
    for (const auto& entry : section.entries)
      if (names_value(entry, name)) found = &entry.value;
  }
  return found;
}

void reg_set_value(RegDocument& document, std::string_view key, HiveValue value) {
  RegEntry* last_entry = nullptr;
  RegSection* last_section = nullptr;
  for (auto& section : document.sections) {
    if (section.deletes || !same_text(section.key, key)) continue;
    last_section = &section;
    for (auto& entry : section.entries)
      if (names_value(entry, value.name)) last_entry = &entry;
  }
  RegEntry entry{true, std::move(value), {}};
  if (last_entry) {
    entry.value.name = last_entry->value.name;  // the name keeps its spelling
    *last_entry = std::move(entry);
    return;
  }
  if (!last_section) {
    document.sections.push_back(RegSection{std::string(key), false, {}});
    last_section = &document.sections.back();
  }
  last_section->entries.push_back(std::move(entry));
}

bool reg_key_exists(const RegDocument& document, std::string_view key) {
  for (const auto& section : document.sections)
    if (!section.deletes && is_at_or_below(section.key, key)) return true;
  return false;
}

bool reg_add_key(RegDocument& document, std::string_view key) {
  if (reg_key_exists(document, key)) return false;
  document.sections.push_back(RegSection{std::string(key), false, {}});
  return true;
}

bool reg_remove_value(RegDocument& document, std::string_view key, std::string_view name) {
  bool removed = false;
  for (auto& section : document.sections) {
    if (section.deletes || !same_text(section.key, key)) continue;
    removed |= std::erase_if(section.entries,
                             [name](const RegEntry& e) { return names_value(e, name); }) > 0;
  }
  return removed;
}

bool reg_remove_key(RegDocument& document, std::string_view key) {
  return std::erase_if(document.sections, [key](const RegSection& s) {
           return !s.deletes && is_at_or_below(s.key, key);
         }) > 0;
}

std::optional<std::vector<HiveValue>> reg_list_values(const RegDocument& document,
                                                      std::string_view key) {
  if (!reg_key_exists(document, key)) return std::nullopt;
  std::vector<HiveValue> values;
  for (const auto& section : document.sections) {
    if (section.deletes || !same_text(section.key, key)) continue;
    for (const auto& entry : section.entries) {
      if (!entry.is_value) continue;
      bool replaced = false;
      for (auto& known : values) {
        if (same_text(known.name, entry.value.name)) {
          known = entry.value;
          replaced = true;
        }
      }
      if (!replaced) values.push_back(entry.value);
    }
  }
  return values;
}

}  // namespace corvane::platform
