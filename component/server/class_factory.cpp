// The class factory of `edit` and the entry points that hand it out and say
// whether the library may be unloaded.
#include <atomic>
#include <type_traits>
#include <new>

#include "component/edit_object.h"
#include "component/register_classes.h"
#include "component/server/dispatch_adapter.h"
#include "component/server/guid.h"
#include "component/server/server_lock.h"
#include "corvanepdf/abi.h"
#include "platform/object_factory.h"

namespace corvane::component::server {
namespace {

struct Factory {
  CpdfClassFactory iface;  // first member: hosts see a pointer to this
  std::atomic<std::uint32_t> references{1};
};
static_assert(std::is_standard_layout_v<Factory>);

Factory* factory_of(CpdfClassFactory* self) { return reinterpret_cast<Factory*>(self); }

std::uint32_t add_ref(CpdfClassFactory* self) { return ++factory_of(self)->references; }

std::uint32_t release(CpdfClassFactory* self) {
  Factory* factory = factory_of(self);
  const std::uint32_t left = --factory->references;
  if (left == 0) {
    delete factory;
    object_destroyed();
  }
  return left;
}

CpdfResult query_interface(CpdfClassFactory* self, const CpdfGuid* iid, void** object) {
  if (object == nullptr) return CPDF_E_POINTER;
  *object = nullptr;
  if (iid == nullptr) return CPDF_E_POINTER;
  if (!same_guid(*iid, CPDF_IID_UNKNOWN) && !same_guid(*iid, CPDF_IID_CLASSFACTORY))
    return CPDF_E_NOINTERFACE;
  add_ref(self);
  *object = self;
  return CPDF_S_OK;
}

CpdfResult create_instance(CpdfClassFactory*, CpdfUnknown* outer, const CpdfGuid* iid,
                           void** object) {
  if (object == nullptr) return CPDF_E_POINTER;
  *object = nullptr;
  if (iid == nullptr) return CPDF_E_POINTER;
  if (outer != nullptr) return CPDF_CLASS_E_NOAGGREGATION;
  try {
    register_component_classes();
    auto created = platform::ObjectFactory::instance().create(kEditClassId);
    if (!created) return CPDF_E_FAIL;
    CpdfDispatch* dispatch = make_dispatch(std::move(created));
    if (dispatch == nullptr) return CPDF_E_OUTOFMEMORY;
    const CpdfResult result = dispatch->vtbl->QueryInterface(dispatch, iid, object);
    dispatch->vtbl->Release(dispatch);
    return result;
  } catch (const std::bad_alloc&) {
    return CPDF_E_OUTOFMEMORY;
  } catch (...) {
    return CPDF_E_FAIL;
  }
}

CpdfResult lock_server_entry(CpdfClassFactory*, std::int32_t lock) {
  lock_server(lock != 0);
  return CPDF_S_OK;
}

const CpdfClassFactoryVtbl kVtbl = {query_interface, add_ref, release, create_instance,
                                    lock_server_entry};

}  // namespace
}  // namespace corvane::component::server

extern "C" {

CpdfResult DllGetClassObject(const CpdfGuid* clsid, const CpdfGuid* iid, void** object) {
  using namespace corvane::component::server;
  if (object == nullptr) return CPDF_E_POINTER;
  *object = nullptr;
  if (clsid == nullptr || iid == nullptr) return CPDF_E_POINTER;
  if (!same_guid(*clsid, CPDF_CLSID_EDIT)) return CPDF_CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) Factory{CpdfClassFactory{&kVtbl}, {1}};
  if (factory == nullptr) return CPDF_E_OUTOFMEMORY;
  object_created();
  const CpdfResult result = query_interface(&factory->iface, iid, object);
  release(&factory->iface);
  return result;
}

CpdfResult DllCanUnloadNow(void) {
  return corvane::component::server::can_unload() ? CPDF_S_OK : CPDF_S_FALSE;
}

}  // extern "C"
