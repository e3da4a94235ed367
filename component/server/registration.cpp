#include "component/server/registration.h"

#include <dlfcn.h>

#include <filesystem>
#include <initializer_list>

#include "corvanepdf/abi.h"
#include "platform/hives.h"

namespace corvane::component::server {
namespace {

using platform::HiveRoot;

constexpr std::string_view kClasses = "SOFTWARE\\Classes\\";

std::string root_name(HiveRoot root) { return root == HiveRoot::kMachine ? "HKLM\\" : "HKCU\\"; }

// Path of a value: root, key and value name; "" names the default value.
std::string value_path(HiveRoot root, std::string_view key, std::string_view value = "") {
  return root_name(root) + std::string(kClasses) + std::string(key) + "\\" + std::string(value);
}

std::string progid_key() { return CPDF_PROGID_EDIT; }
std::string clsid_key() { return std::string("CLSID\\") + CPDF_CLSID_EDIT_TEXT; }

}  // namespace

bool register_server(HiveRoot root, const std::string& library_path) {
  const std::string clsid = clsid_key();
  struct Entry {
    std::string key;
    const char* value;
    std::string text;
  };
  const std::initializer_list<Entry> entries = {
      {progid_key(), "", CPDF_PROGID_EDIT},
      {progid_key() + "\\CLSID", "", CPDF_CLSID_EDIT_TEXT},
      {clsid, "", CPDF_PROGID_EDIT},
      {clsid + "\\InprocServer32", "", library_path},
      {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {clsid + "\\ProgID", "", CPDF_PROGID_EDIT},
      {clsid + "\\TypeLib", "", CPDF_LIBID_TEXT},
      {clsid + "\\VERSION", "", CPDF_LIB_VERSION_TEXT},
  };
  for (const Entry& e : entries)
    if (!platform::hive_write_text(value_path(root, e.key, e.value), e.text)) return false;
  return true;
}

bool unregister_server(HiveRoot root) {
  const bool progid_gone = platform::hive_delete_key(root, std::string(kClasses) + progid_key());
  const bool clsid_gone = platform::hive_delete_key(root, std::string(kClasses) + clsid_key());
  return progid_gone && clsid_gone;
}

std::string own_library_path() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 || info.dli_fname == nullptr)
    return {};
  std::error_code ec;
  const auto path = std::filesystem::absolute(info.dli_fname, ec);
  return ec ? std::string() : path.lexically_normal().string();
}

std::optional<ClassRegistration> find_registration(std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (const HiveRoot root : {HiveRoot::kUser, HiveRoot::kMachine}) {
    std::string class_id(name);
    if (name.front() != '{') {
      auto found = platform::hive_read(value_path(root, std::string(name) + "\\CLSID"));
      if (!found || found->empty()) continue;
      class_id = *found;
    }
    auto path = platform::hive_read(value_path(root, "CLSID\\" + class_id + "\\InprocServer32"));
    if (path && !path->empty()) return ClassRegistration{class_id, *path};
  }
  return std::nullopt;
}

}  // namespace corvane::component::server

extern "C" {

CpdfResult DllRegisterServer(void) {
  using namespace corvane::component::server;
  try {
    const std::string path = own_library_path();
    if (path.empty()) return CPDF_SELFREG_E_CLASS;
    const auto root = corvane::platform::hive_writable(corvane::platform::HiveRoot::kMachine)
                          ? corvane::platform::HiveRoot::kMachine
                          : corvane::platform::HiveRoot::kUser;
    return register_server(root, path) ? CPDF_S_OK : CPDF_SELFREG_E_CLASS;
  } catch (...) {
    return CPDF_SELFREG_E_CLASS;
  }
}

CpdfResult DllUnregisterServer(void) {
  using namespace corvane::component::server;
  using corvane::platform::HiveRoot;
  try {
    bool gone = unregister_server(HiveRoot::kUser);
    if (corvane::platform::hive_writable(HiveRoot::kMachine))
      gone = unregister_server(HiveRoot::kMachine) && gone;
    return gone ? CPDF_S_OK : CPDF_SELFREG_E_CLASS;
  } catch (...) {
    return CPDF_SELFREG_E_CLASS;
  }
}

}  // extern "C"
