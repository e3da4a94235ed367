// The texts and numbers of a signing run's new objects, which the rebuild's
// text builders read and write. Each run holds its own copy; it starts from
// the thread's (component_state(), shared by every `edit` instance of that
// thread: the reason, the page size read before) and leaves its own there
// when it ends.
//
// A plain record with no code: it lives here, below the component that holds
// it, so that the texts of the update are built without the component.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

struct SigningSession {
  // N, the number of the signature field; N + 1 is the signature dictionary.
  std::int32_t firstNewObject = 0;
  // Widget rectangle "x1.000 y1.000 x2.000 y2.000".
  std::string signatureRect;
  // Page size in whole points; 0 when the engine gave none.
  std::int32_t pageWidth = 0;
  std::int32_t pageHeight = 0;
  // Reason written into the signature dictionary (UTF-8).
  std::string signingReason;
  bool documentEncrypted = false;
  // The names of the document's top-level form fields (UTF-8): the new
  // field takes the signer's name, or "NAME (2)", "NAME (3)", ... when a
  // field has it already (viewers would merge two fields of one name).
  std::vector<std::string> fieldNames;
};

}  // namespace corvane
