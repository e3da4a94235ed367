// A quick look at whether a PDF is already signed: only the form's fields
// and the first page's widgets are read, never the whole page tree, so
// that asking costs little on a large document.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvane::verify {

struct FormSignatures {
  // Signature fields (/FT /Sig, own or inherited) with a /V dictionary
  // holding a /Contents string.
  std::size_t signed_fields = 0;
  // The full names of the named signature fields without a value.
  std::vector<std::string> empty_fields;
};

// The signature fields of the document's form (/AcroForm /Fields and their
// /Kids) and among the first page's widgets, each looked at once. Nothing
// when the document cannot be read. Never throws.
[[nodiscard]] FormSignatures look_at_form_signatures(const std::string& path, const std::string& password);

}  // namespace corvane::verify
