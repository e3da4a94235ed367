#include "platform/hives.h"

#include <fcntl.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>

#include "platform/atomic_file.h"
#include "platform/reg_file.h"

namespace corvane::platform {
namespace {

constexpr std::string_view kMachineRootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kUserRootName = "HKEY_CURRENT_USER";

// A value path taken apart: the key as the hive file names it
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\pdf") and the value name ("" for the
// key's default value, named by a path that ends in a backslash).
struct ValuePath {
  HiveRoot root;
  std::string key;
  std::string name;
};

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<HiveRoot> parse_root(std::string_view text) {
  if (same_text(text, "HKLM") || same_text(text, kMachineRootName)) return HiveRoot::kMachine;
  if (same_text(text, "HKCU") || same_text(text, kUserRootName)) return HiveRoot::kUser;
  return std::nullopt;
}

std::string full_key(HiveRoot root, std::string_view key_path) {
  while (key_path.starts_with('\\')) key_path.remove_prefix(1);
  while (key_path.ends_with('\\')) key_path.remove_suffix(1);
  std::string key(root == HiveRoot::kMachine ? kMachineRootName : kUserRootName);
  if (!key_path.empty()) {
    key += '\\';
    key += key_path;
  }
  return key;
}

std::optional<ValuePath> split_value_path(std::string_view path) {
  // A line break cannot be written into a key or value name of the file.
  if (path.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  const auto first = path.find('\\');
  if (first == std::string_view::npos) return std::nullopt;
  const auto root = parse_root(path.substr(0, first));
  if (!root) return std::nullopt;
  const std::string_view rest = path.substr(first + 1);
  const auto last = rest.rfind('\\');
  if (last == std::string_view::npos) return ValuePath{*root, full_key(*root, ""), std::string(rest)};
  return ValuePath{*root, full_key(*root, rest.substr(0, last)), std::string(rest.substr(last + 1))};
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool may(const std::string& path, int what) {
  return ::faccessat(AT_FDCWD, path.c_str(), what, AT_EACCESS) == 0;
}

// Creates the missing folders of `folder`; false when one cannot be made.
bool make_folders(const std::string& folder, mode_t mode) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string parent = folder_of(folder);
  if (parent != folder && !make_folders(parent, mode)) return false;
  return ::mkdir(folder.c_str(), mode) == 0 || errno == EEXIST;
}

// The hive as a document: an empty one when the file is missing; nullopt
// when it cannot be read or parsed.
std::optional<RegDocument> load(const std::string& path) {
  auto bytes = read_whole_file(path);
  if (!bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return RegDocument{};
    return std::nullopt;
  }
  return parse_reg(*bytes);
}

// One read-modify-write cycle under the hive's lock. `change` edits the
// document and says whether it changed anything; an unchanged document is
// not written. False when the hive may not be written, cannot be read or
// parsed (the file then stays as it is), or the write fails.
bool update_hive(HiveRoot root, const std::function<bool(RegDocument&)>& change) {
  if (!hive_writable(root)) return false;
  const std::string path = hive_file_path(root);
  const bool machine = root == HiveRoot::kMachine;
  if (!make_folders(folder_of(path), machine ? 0755 : 0700)) return false;
  FileLock lock(path);
  if (!lock.locked()) return false;
  auto document = load(path);
  if (!document) return false;
  if (!change(*document)) return true;
  return replace_file_contents(path, serialize_reg(*document), machine ? 0644 : 0600);
}

// For removals and key creation: true when the hive already is as wanted,
// so that a hive this process may not write still answers "done".
bool already_so(HiveRoot root, const std::function<bool(RegDocument&)>& change) {
  auto document = load(hive_file_path(root));
  return document && !change(*document);
}

bool write_value(std::string_view value_path, HiveValue value) {
  auto where = split_value_path(value_path);
  if (!where) return false;
  value.name = where->name;
  return update_hive(where->root, [&](RegDocument& document) {
    const HiveValue* old = reg_find_value(document, where->key, value.name);
    if (old && old->type == value.type && old->text == value.text) return false;
    reg_set_value(document, where->key, value);
    return true;
  });
}

}  // namespace

std::string hive_file_path(HiveRoot root) {
  const bool machine = root == HiveRoot::kMachine;
  if (const char* named = std::getenv(machine ? "CORVANE_HKLM" : "CORVANE_HKCU"); named && *named)
    return named;
  if (machine) return "/etc/corvane/registry.reg";
  // Relative values of XDG_CONFIG_HOME are invalid and ignored.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    return std::string(config) + "/corvane/registry.reg";
  std::string home;
  if (const char* env_home = std::getenv("HOME"); env_home && *env_home) {
    home = env_home;
  } else {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
      home = found->pw_dir;
  }
  return home + "/.config/corvane/registry.reg";
}

bool hive_writable(HiveRoot root) {
  const std::string path = hive_file_path(root);
  // The file is replaced by a rename, so its folder must be writable too.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    return S_ISREG(st.st_mode) && may(path, W_OK) && may(folder_of(path), W_OK | X_OK);
  // A missing file can be made when the nearest existing folder above it is
  // writable (the missing folders in between are made with it).
  std::string folder = folder_of(path);
  while (::stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    const std::string parent = folder_of(folder);
    if (parent == folder) return false;
    folder = parent;
  }
  return S_ISDIR(st.st_mode) && may(folder, W_OK | X_OK);
}

bool hive_intact(HiveRoot root) { return load(hive_file_path(root)).has_value(); }

std::optional<std::string> hive_read(std::string_view value_path) {
  const auto where = split_value_path(value_path);
  if (!where) return std::nullopt;
  const auto document = load(hive_file_path(where->root));
  if (!document) return std::nullopt;
  const HiveValue* value = reg_find_value(*document, where->key, where->name);
  if (!value || value->type == HiveValue::Type::kOther) return std::nullopt;
  return value->text;
}

bool hive_write_text(std::string_view value_path, std::string_view text) {
  // A line break cannot be written into a text value of the file format.
  if (text.find_first_of("\r\n") != std::string_view::npos) return false;
  HiveValue value;
  value.type = HiveValue::Type::kText;
  value.text = text;
  return write_value(value_path, std::move(value));
}

bool hive_write_dword(std::string_view value_path, std::uint32_t number) {
  HiveValue value;
  value.type = HiveValue::Type::kDword;
  value.dword = number;
  value.text = std::to_string(static_cast<std::int32_t>(number));
  return write_value(value_path, std::move(value));
}

bool hive_create_key(HiveRoot root, std::string_view key_path) {
  // A line break would split the section header in two and leave a file
  // that no longer parses.
  if (key_path.find_first_of("\r\n") != std::string_view::npos) return false;
  const std::string key = full_key(root, key_path);
  const auto add = [&](RegDocument& document) { return reg_add_key(document, key); };
  return already_so(root, add) || update_hive(root, add);
}

bool hive_delete_value(std::string_view value_path) {
  const auto where = split_value_path(value_path);
  if (!where) return false;
  const auto remove = [&](RegDocument& document) {
    return reg_remove_value(document, where->key, where->name);
  };
  return already_so(where->root, remove) || update_hive(where->root, remove);
}

bool hive_delete_key(HiveRoot root, std::string_view key_path) {
  const std::string key = full_key(root, key_path);
  const auto remove = [&](RegDocument& document) { return reg_remove_key(document, key); };
  return already_so(root, remove) || update_hive(root, remove);
}

std::optional<std::vector<HiveValue>> hive_list_values(HiveRoot root, std::string_view key_path) {
  const auto document = load(hive_file_path(root));
  if (!document) return std::nullopt;
  return reg_list_values(*document, full_key(root, key_path));
}

}  // namespace corvane::platform
