// A quick look at whether a PDF is already signed: only the form's fields
// and the first page's widgets are read, never the whole page tree, so
// that asking costs little on a large document.
#pragma once

#include <cstddef>
#include <string>

namespace corvane::verify {

// The number of signed signature fields in the document's form (/AcroForm
// /Fields and their /Kids: /FT /Sig, own or inherited, with a /V dictionary
// holding a /Contents string) and among the first page's widgets, each
// counted once. 0 when the document cannot be read. Never throws.
[[nodiscard]] std::size_t count_signed_form_fields(const std::string& path, const std::string& password);

}  // namespace corvane::verify
