// Fills the object factory with every class the component creates: the PDF
// engine, the certificate-store classes and `corvanepdf.edit` itself.
#pragma once

#include "corvanepdf/abi.h"

namespace corvane::component {

// ProgID and class identifier of the class `edit`.
inline constexpr const char* kEditProgId = CPDF_PROGID_EDIT;
inline constexpr const char* kEditClassId = CPDF_CLSID_EDIT_TEXT;

// Registers the classes once per process; later calls return at once. Safe
// from several threads.
void register_component_classes();

}  // namespace corvane::component
