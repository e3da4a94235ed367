#include "identity/user_ini.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "settings/log.h"
#include "settings/registry.h"

namespace corvane::identity {
namespace {

constexpr std::string_view kNotUpdated = "user.ini could not be updated: ";

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string folder_of(std::string_view file) {
  const auto slash = file.rfind('/');
  if (slash == std::string_view::npos) return "";
  return std::string(file.substr(0, slash == 0 ? 1 : slash));
}

// The text as it may appear in a log line: line breaks and NULs become "?".
std::string printable(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = '?';
  return out;
}

// False, with a log line, when `text` cannot be written in its role.
bool writable(std::string_view role, std::string_view text, std::string_view problem) {
  if (problem.empty()) return true;
  settings::log_line("not written to user.ini: " + std::string(role) + " \"" + printable(text) + "\" " +
                     std::string(problem));
  return false;
}

}  // namespace

std::string resolve_user_ini_path(std::string_view path_setting, std::string_view own_folder) {
  std::string path(path_setting.empty() ? own_folder : path_setting);
  if (!ends_with(path, "/") && !ends_with(path, ".ini")) path += "/";
  if (!ends_with(path, ".ini")) path += "user.ini";
  return path;
}

std::string component_folder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&component_folder), &info) != 0 && info.dli_fname) {
    std::string folder = folder_of(info.dli_fname);
    if (!folder.empty()) return folder;
  }
  // The code is linked into a program that was started without a path.
  char exe[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string folder = folder_of(std::string_view(exe, static_cast<std::size_t>(n)));
    if (!folder.empty()) return folder;
  }
  return ".";
}

std::string runtime_files_folder(std::string_view own_folder) {
  // A library found through its program's relative run path is named
  // "/usr/bin/../lib": compare the folder the file system means.
  std::string folder(own_folder);
  if (char* real = ::realpath(folder.c_str(), nullptr)) {
    folder = real;
    std::free(real);
  } else {
    folder = std::filesystem::path(folder).lexically_normal().string();
  }
  if (folder == "/usr/lib" || folder.starts_with("/usr/lib/")) return "/var/lib/corvanepdf";
  return std::string(own_folder);
}

const std::string& user_ini_path(IdentityState& state) {
  if (state.ini_path.empty()) {
    const std::string setting = settings::reg_read(std::string(settings::kMachineBase) + "path");
    state.ini_path = resolve_user_ini_path(setting, setting.empty() ? runtime_files_folder(component_folder()) : "");
  }
  return state.ini_path;
}

std::vector<std::string> ini_section_entries(const std::string& ini, std::string_view section) {
  const std::string text = platform::profile_read_section(ini, platform::trim_blanks(section));
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (true) {
    const auto nul = text.find('\0', start);
    if (nul == std::string::npos) {
      entries.push_back(text.substr(start));
      return entries;
    }
    entries.push_back(text.substr(start, nul - start));
    start = nul + 1;
  }
}

std::string ini_read(const std::string& ini, std::string_view section, std::string_view key,
                     std::string_view fallback) {
  const std::string value = platform::profile_read_string(ini, platform::trim_blanks(section),
                                                          platform::trim_blanks(key),
                                                          platform::trim_blanks(fallback));
  return std::string(platform::trim_blanks(value));
}

bool ini_name_writable(std::string_view name) {
  name = platform::trim_blanks(name);
  return writable("name", name, platform::profile_name_problem(name));
}

void ini_write(const std::string& ini, std::string_view section, std::string_view key, std::string_view value) {
  key = platform::trim_blanks(key);
  value = platform::trim_blanks(value);
  std::optional<std::string_view> key_arg;
  std::optional<std::string_view> value_arg;
  if (!key.empty()) {
    if (!writable("name", key, platform::profile_name_problem(key))) return;
    key_arg = key;
  }
  if (!value.empty()) {
    if (!writable("value", value, platform::profile_value_problem(value))) return;
    value_arg = value;
  }
  std::string why;
  if (!platform::profile_write_string(ini, platform::trim_blanks(section), key_arg, value_arg, &why))
    settings::log_warning(std::string(kNotUpdated) + ini + ": " + why);
}

}  // namespace corvane::identity
