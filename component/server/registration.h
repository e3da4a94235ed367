// The registration of the in-process server under SOFTWARE\Classes of a
// hive, as class registries keep it:
//
//   Classes\corvanepdf.edit\                      (default) "corvanepdf.edit"
//   Classes\corvanepdf.edit\CLSID\                (default) class id
//   Classes\CLSID\{class id}\                     (default) "corvanepdf.edit"
//   Classes\CLSID\{class id}\InprocServer32\      (default) library path,
//                                                 ThreadingModel "Apartment"
//   Classes\CLSID\{class id}\ProgID\              (default) "corvanepdf.edit"
//   Classes\CLSID\{class id}\TypeLib\             (default) type library id
//   Classes\CLSID\{class id}\VERSION\             (default) "1.0"
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/hives.h"

namespace corvane::component::server {

// Writes the keys above into `root` with `library_path`; false when a value
// cannot be written (values written before stay).
bool register_server(platform::HiveRoot root, const std::string& library_path);
// Removes both keys from `root`; true when they are gone afterwards.
bool unregister_server(platform::HiveRoot root);

// The absolute path of the library this code is in; "" when unknown.
[[nodiscard]] std::string own_library_path();

struct ClassRegistration {
  std::string class_id;
  std::string library_path;
};
// The class registered under a ProgID or a class id ("{...}"), the user's
// registration before the machine's; nullopt when neither has it.
[[nodiscard]] std::optional<ClassRegistration> find_registration(std::string_view name);

}  // namespace corvane::component::server
