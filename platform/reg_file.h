// The Windows ".reg" text format as a document: parsing, the edits the hive
// layer makes, and writing it back.
//
// Accepted input: UTF-16LE with a byte-order mark (what the Windows registry
// editor exports), UTF-8 with or without a byte-order mark, CRLF or LF line
// ends; the header "Windows Registry Editor Version 5.00" (or "REGEDIT4").
// Understood value lines: `"name"="text"` and `@="text"` (escapes \\ and \"),
// `"name"=dword:0000000a`. Lines of other value types (hex:..., hex(2):...,
// with their continuation lines), comments, value deletions (`"name"=-`) and
// key deletions (`[-KEY]`) are kept verbatim and otherwise ignored.
//
// Written output keeps the document's encoding and line ends, and every line
// that was not changed is written exactly as it was read. A new document is
// UTF-8 without byte-order mark with CRLF line ends, the form the Windows
// registry editor itself imports.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hives.h"

namespace corvane::platform {

enum class RegEncoding { kUtf8, kUtf8Bom, kUtf16Le };

// One line of a key section (with its continuation lines).
struct RegEntry {
  // A value we understand (or one of another type, kept as `raw`), or a line
  // we only keep: a comment, a deletion.
  bool is_value = false;
  HiveValue value;
  // The physical lines as read, without line ends; empty for a value set by
  // an edit (written in its normal form).
  std::vector<std::string> raw;
};

struct RegSection {
  std::string key;       // full key name as written, "HKEY_LOCAL_MACHINE\SOFTWARE\..."
  bool deletes = false;  // "[-KEY]": kept, never matched
  std::vector<RegEntry> entries;
};

struct RegDocument {
  RegEncoding encoding = RegEncoding::kUtf8;
  bool crlf = true;
  std::string header = "Windows Registry Editor Version 5.00";
  std::vector<std::string> preamble;  // comment lines before the first key
  std::vector<RegSection> sections;
};

// The document in `bytes`, or nullopt when it is not a registry file (no
// header, a line that is neither key, value nor comment, a value before the
// first key, a malformed value). An empty file is an empty document.
[[nodiscard]] std::optional<RegDocument> parse_reg(std::string_view bytes);

// The document's bytes in its encoding and line-end style.
[[nodiscard]] std::string serialize_reg(const RegDocument& document);

// Key names and value names compare without regard to (ASCII) case. Where a
// key appears in several sections, a value found later wins, as when the
// file is imported from top to bottom.

// The value, or nullptr when the key or the value is missing.
[[nodiscard]] const HiveValue* reg_find_value(const RegDocument& document, std::string_view key,
                                              std::string_view name);
// Sets a value: changes the line that holds it (keeping the name as it is
// spelled there), else appends it to the last section of the key, else adds
// a section at the end.
void reg_set_value(RegDocument& document, std::string_view key, HiveValue value);
// True when a section names the key or a key below it.
[[nodiscard]] bool reg_key_exists(const RegDocument& document, std::string_view key);
// Adds an empty section for the key; false when it already exists.
bool reg_add_key(RegDocument& document, std::string_view key);
// Removes every line of the value; false when there was none.
bool reg_remove_value(RegDocument& document, std::string_view key, std::string_view name);
// Removes the sections of the key and of every key below it; false when
// there were none.
bool reg_remove_key(RegDocument& document, std::string_view key);
// The key's values, each name once (with its last value), in the order of
// first appearance; nullopt when the key does not exist.
[[nodiscard]] std::optional<std::vector<HiveValue>> reg_list_values(const RegDocument& document,
                                                                    std::string_view key);

}  // namespace corvane::platform
