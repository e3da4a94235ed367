// Conversion between the automation layer's Variant and the CpdfVariant of
// the binary interface.
#pragma once

#include "corvanepdf/abi.h"
#include "platform/variant.h"

namespace corvane::component::server {

// Clears `out` and stores `value` in it (objects as a new dispatch interface).
// CPDF_E_OUTOFMEMORY when a payload cannot be allocated; `out` is then empty.
[[nodiscard]] CpdfResult to_abi(const platform::Variant& value, CpdfVariant& out);
// The value of `in`; false for an unknown type and for an object that is not
// one of this library's.
[[nodiscard]] bool from_abi(const CpdfVariant& in, platform::Variant& out);

// Frees the payload of `v` and makes it empty.
void clear_abi(CpdfVariant& v);

}  // namespace corvane::component::server
