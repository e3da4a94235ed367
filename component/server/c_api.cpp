// The C interface for hosts (corvanepdf.h): creation by ProgID through the
// registration (or, for this library's own class, directly), and late-bound
// calls by member name.
#include <dlfcn.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "component/server/guid.h"
#include "component/server/registration.h"
#include "corvanepdf/corvanepdf.h"
#include "verify/verify_document.h"
#include "verify/verify_json.h"

namespace corvane::component::server {
namespace {

thread_local std::string last_error;

CpdfResult fail(CpdfResult result, std::string description) {
  last_error = std::move(description);
  return result;
}

// Libraries loaded for created objects; each is loaded once.
struct LoadedLibrary {
  std::string path;
  void* handle;
};
std::mutex libraries_mutex;
std::vector<LoadedLibrary> libraries;

// The handle of `path`, loading it on first use; nullptr with last_error set.
void* load_library(const std::string& path) {
  std::lock_guard lock(libraries_mutex);
  for (const LoadedLibrary& library : libraries)
    if (library.path == path) return library.handle;
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    last_error = "cannot load " + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  libraries.push_back({path, handle});
  return handle;
}

// Whether `name` is the ProgID or the class id of the class this library
// serves itself.
bool own_class(const char* name) {
  return ::strcasecmp(name, CPDF_PROGID_EDIT) == 0 || ::strcasecmp(name, CPDF_CLSID_EDIT_TEXT) == 0;
}

// The class factory entry point for `name` and its class id: the registered
// library's, else this library's own for its own class (a host linked
// against the library creates without a registration). CPDF_S_OK or a
// failure with last_error set.
CpdfResult find_class(const char* name, CpdfGetClassObjectFn& get_class_object, std::string& class_id) {
  const auto registration = find_registration(name);
  if (!registration) {
    if (!own_class(name)) return fail(CPDF_REGDB_E_CLASSNOTREG, std::string(name) + " is not registered");
    get_class_object = &::DllGetClassObject;
    class_id = CPDF_CLSID_EDIT_TEXT;
    return CPDF_S_OK;
  }
  class_id = registration->class_id;
  const std::string& library = registration->library_path;
  void* handle = load_library(library);
  if (handle == nullptr) return CPDF_E_FAIL;
  get_class_object = reinterpret_cast<CpdfGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
  if (get_class_object == nullptr) return fail(CPDF_E_FAIL, library + " is not an in-process server");
  return CPDF_S_OK;
}

CpdfResult invoke_by_name(CpdfDispatch* object, const char* name, std::uint16_t kind,
                          CpdfVariant* args, std::uint32_t arg_count, CpdfVariant* result) {
  last_error.clear();
  if (object == nullptr || name == nullptr) return fail(CPDF_E_POINTER, "no object or no name");
  std::int32_t dispid = -1;
  const char* names[] = {name};
  if (const CpdfResult r = object->vtbl->GetIDsOfNames(object, names, 1, &dispid); r < 0)
    return fail(r, std::string("the object has no member ") + name);
  char* error = nullptr;
  const CpdfResult r = object->vtbl->Invoke(object, dispid, kind, args, arg_count, result, &error);
  if (r < 0) last_error = error ? error : std::string(name) + " failed";
  corvanepdf_free(error);
  return r;
}

}  // namespace
}  // namespace corvane::component::server

extern "C" {

CpdfResult corvanepdf_create_object(const char* name, CpdfDispatch** object) {
  using namespace corvane::component::server;
  last_error.clear();
  if (object == nullptr) return fail(CPDF_E_POINTER, "no place for the object");
  *object = nullptr;
  if (name == nullptr) return fail(CPDF_E_POINTER, "no name");
  try {
    CpdfGetClassObjectFn get_class_object = nullptr;
    std::string class_id;
    if (const CpdfResult r = find_class(name, get_class_object, class_id); r < 0) return r;
    const auto clsid = parse_guid(class_id);
    if (!clsid) return fail(CPDF_REGDB_E_CLASSNOTREG, std::string(name) + " has a malformed class id: " + class_id);

    CpdfClassFactory* factory = nullptr;
    CpdfResult r = get_class_object(&*clsid, &CPDF_IID_CLASSFACTORY, reinterpret_cast<void**>(&factory));
    if (r < 0 || factory == nullptr) return fail(r < 0 ? r : CPDF_E_FAIL, "no class factory for " + class_id);
    r = factory->vtbl->CreateInstance(factory, nullptr, &CPDF_IID_DISPATCH,
                                      reinterpret_cast<void**>(object));
    factory->vtbl->Release(factory);
    if (r < 0) return fail(r, std::string("the class factory could not create ") + name);
    return CPDF_S_OK;
  } catch (...) {
    return fail(CPDF_E_FAIL, std::string("creating ") + name + " failed");
  }
}

CpdfResult corvanepdf_get_property(CpdfDispatch* object, const char* name, CpdfVariant* result) {
  return corvane::component::server::invoke_by_name(object, name, CPDF_DISPATCH_PROPERTYGET,
                                                    nullptr, 0, result);
}

CpdfResult corvanepdf_put_property(CpdfDispatch* object, const char* name, CpdfVariant* value) {
  if (value == nullptr) return corvane::component::server::fail(CPDF_E_POINTER, "no value");
  return corvane::component::server::invoke_by_name(object, name, CPDF_DISPATCH_PROPERTYPUT,
                                                    value, 1, nullptr);
}

CpdfResult corvanepdf_call_method(CpdfDispatch* object, const char* name, CpdfVariant* args,
                                  uint32_t arg_count, CpdfVariant* result) {
  return corvane::component::server::invoke_by_name(object, name, CPDF_DISPATCH_METHOD, args,
                                                    arg_count, result);
}

uint32_t corvanepdf_release(CpdfDispatch* object) {
  return object ? object->vtbl->Release(object) : 0;
}

const char* corvanepdf_last_error(void) { return corvane::component::server::last_error.c_str(); }

int32_t corvanepdf_last_error_code(CpdfDispatch* edit) {
  CpdfVariant code;
  corvanepdf_variant_init(&code);
  if (corvanepdf_get_property(edit, "lasterrorcode", &code) < 0) return CPDF_ERROR_FAILED;
  const int32_t value = code.vt == CPDF_VT_I4 ? code.value.i4 : CPDF_ERROR_FAILED;
  corvanepdf_variant_clear(&code);
  return value;
}

void corvanepdf_free_unused_libraries(void) {
  using namespace corvane::component::server;
  std::lock_guard lock(libraries_mutex);
  std::erase_if(libraries, [](const LoadedLibrary& library) {
    auto can_unload = reinterpret_cast<CpdfCanUnloadNowFn>(dlsym(library.handle, "DllCanUnloadNow"));
    if (can_unload == nullptr || can_unload() != CPDF_S_OK) return false;
    dlclose(library.handle);
    return true;
  });
}

CpdfResult corvanepdf_verify_json(const char* path, const char* password, char** json, int32_t* verdict) {
  using namespace corvane::component::server;
  last_error.clear();
  if (json == nullptr) return fail(CPDF_E_POINTER, "no place for the report");
  *json = nullptr;
  if (path == nullptr) return fail(CPDF_E_POINTER, "no path");
  try {
    const corvane::verify::DocumentReport report =
        corvane::verify::verify_document(path, password ? password : "");
    std::ostringstream text;
    corvane::verify::print_verify_json(text, path, report);
    const std::string out = text.str();
    *json = static_cast<char*>(std::malloc(out.size() + 1));
    if (*json == nullptr) return fail(CPDF_E_OUTOFMEMORY, "out of memory");
    std::memcpy(*json, out.c_str(), out.size() + 1);
    if (verdict != nullptr) *verdict = static_cast<int32_t>(corvane::verify::verdict_of(report));
    return CPDF_S_OK;
  } catch (...) {
    return fail(CPDF_E_FAIL, std::string("verifying ") + path + " failed");
  }
}

}  // extern "C"
