// Stand-in used only while the hive layer is not in the build: nothing can
// be registered and no class is found.
#include "component/server/registration.h"

#include "corvanepdf/abi.h"

namespace corvane::component::server {
bool register_server(platform::HiveRoot, const std::string&) { return false; }
bool unregister_server(platform::HiveRoot) { return false; }
std::string own_library_path() { return {}; }
std::optional<ClassRegistration> find_registration(std::string_view) { return std::nullopt; }
}  // namespace corvane::component::server

extern "C" {
CpdfResult DllRegisterServer(void) { return CPDF_SELFREG_E_CLASS; }
CpdfResult DllUnregisterServer(void) { return CPDF_SELFREG_E_CLASS; }
}
