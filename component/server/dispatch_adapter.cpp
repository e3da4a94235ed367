#include "component/server/dispatch_adapter.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "component/edit_object.h"
#include "component/server/guid.h"
#include "component/server/server_lock.h"
#include "component/server/variant_abi.h"

namespace corvane::component::server {
namespace {

struct Adapter {
  CpdfDispatch iface;  // first member: hosts see a pointer to this
  std::atomic<std::uint32_t> references{1};
  std::shared_ptr<platform::AutomationObject> object;
};

// Hosts hold &adapter->iface; the cast back needs iface at offset 0.
static_assert(std::is_standard_layout_v<Adapter>);

Adapter* adapter_of(CpdfDispatch* self) { return reinterpret_cast<Adapter*>(self); }

void set_error(char** error, const std::string& text) {
  if (error == nullptr) return;
  *error = static_cast<char*>(std::malloc(text.size() + 1));
  if (*error) std::memcpy(*error, text.c_str(), text.size() + 1);
}

CpdfResult result_of(platform::CallError::Kind kind) {
  using Kind = platform::CallError::Kind;
  switch (kind) {
    case Kind::kNoSuchMember: return CPDF_DISP_E_MEMBERNOTFOUND;
    case Kind::kBadArgumentCount: return CPDF_DISP_E_BADPARAMCOUNT;
    case Kind::kTypeMismatch: return CPDF_DISP_E_TYPEMISMATCH;
    case Kind::kMemberFailed: break;
  }
  return CPDF_DISP_E_EXCEPTION;
}

std::uint32_t add_ref(CpdfDispatch* self) { return ++adapter_of(self)->references; }

std::uint32_t release(CpdfDispatch* self) {
  Adapter* adapter = adapter_of(self);
  const std::uint32_t left = --adapter->references;
  if (left == 0) {
    delete adapter;
    object_destroyed();
  }
  return left;
}

CpdfResult query_interface(CpdfDispatch* self, const CpdfGuid* iid, void** object) {
  if (object == nullptr) return CPDF_E_POINTER;
  *object = nullptr;
  if (iid == nullptr) return CPDF_E_POINTER;
  const bool is_edit = dynamic_cast<EditObject*>(adapter_of(self)->object.get()) != nullptr;
  if (same_guid(*iid, CPDF_IID_UNKNOWN) || same_guid(*iid, CPDF_IID_DISPATCH) ||
      (is_edit && same_guid(*iid, CPDF_IID_EDIT))) {
    add_ref(self);
    *object = self;
    return CPDF_S_OK;
  }
  return CPDF_E_NOINTERFACE;
}

CpdfResult get_ids_of_names(CpdfDispatch* self, const char* const* names, std::uint32_t count,
                            std::int32_t* dispids) {
  if ((names == nullptr || dispids == nullptr) && count > 0) return CPDF_E_POINTER;
  CpdfResult result = CPDF_S_OK;
  for (std::uint32_t i = 0; i < count; ++i) {
    dispids[i] = names[i] ? adapter_of(self)->object->dispatch_id(names[i]) : platform::kUnknownDispId;
    if (dispids[i] == platform::kUnknownDispId) result = CPDF_DISP_E_UNKNOWNNAME;
  }
  return result;
}

CpdfResult invoke(CpdfDispatch* self, std::int32_t dispid, std::uint16_t kind, CpdfVariant* args,
                  std::uint32_t arg_count, CpdfVariant* result, char** error) {
  if (error) *error = nullptr;
  if (args == nullptr && arg_count > 0) return CPDF_E_POINTER;
  try {
    std::vector<platform::Variant> values(arg_count);
    for (std::uint32_t i = 0; i < arg_count; ++i) {
      if (!from_abi(args[i], values[i])) {
        set_error(error, "argument " + std::to_string(i + 1) + " has a type the member cannot take");
        return CPDF_DISP_E_TYPEMISMATCH;
      }
    }
    const std::vector<platform::Variant> before = values;
    platform::InvokeKind invoke_kind = platform::InvokeKind::kPropertyGet;
    if (kind & CPDF_DISPATCH_PROPERTYPUT) invoke_kind = platform::InvokeKind::kPropertyPut;
    else if (kind & CPDF_DISPATCH_METHOD) invoke_kind = platform::InvokeKind::kMethod;

    platform::Variant value;
    platform::CallError call_error;
    if (!adapter_of(self)->object->invoke(dispid, invoke_kind, values, value, call_error)) {
      set_error(error, call_error.description);
      return result_of(call_error.kind);
    }
    // By-reference arguments: hand back what the member changed.
    for (std::uint32_t i = 0; i < arg_count; ++i)
      if (!(values[i] == before[i])) {
        if (const CpdfResult r = to_abi(values[i], args[i]); r != CPDF_S_OK) return r;
      }
    if (result) return to_abi(value, *result);
    return CPDF_S_OK;
  } catch (const std::bad_alloc&) {
    return CPDF_E_OUTOFMEMORY;
  } catch (const std::exception& e) {
    set_error(error, e.what());
    return CPDF_DISP_E_EXCEPTION;
  } catch (...) {
    set_error(error, "the member raised an unknown error");
    return CPDF_DISP_E_EXCEPTION;
  }
}

const CpdfDispatchVtbl kVtbl = {query_interface, add_ref, release, get_ids_of_names, invoke};

}  // namespace

CpdfDispatch* make_dispatch(std::shared_ptr<platform::AutomationObject> object) {
  auto* adapter = new (std::nothrow) Adapter{CpdfDispatch{&kVtbl}, {1}, std::move(object)};
  if (adapter == nullptr) return nullptr;
  object_created();
  return &adapter->iface;
}

std::shared_ptr<platform::AutomationObject> object_of(CpdfDispatch* dispatch) {
  if (dispatch == nullptr || dispatch->vtbl != &kVtbl) return nullptr;
  return adapter_of(dispatch)->object;
}

}  // namespace corvane::component::server
