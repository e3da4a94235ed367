// Hands an automation object to hosts as a CpdfDispatch interface with its
// own reference count. Destroying the last reference destroys the object
// (for `edit`, its end-of-life event runs then).
#pragma once

#include <memory>

#include "corvanepdf/abi.h"
#include "platform/automation.h"

namespace corvane::component::server {

// A new interface with one reference; nullptr when out of memory.
[[nodiscard]] CpdfDispatch* make_dispatch(std::shared_ptr<platform::AutomationObject> object);
// The object behind an interface made by make_dispatch; nullptr for a
// foreign interface.
[[nodiscard]] std::shared_ptr<platform::AutomationObject> object_of(CpdfDispatch* dispatch);

}  // namespace corvane::component::server
