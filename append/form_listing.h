// New revisions of the objects that list a document's annotations and form
// fields, for an update that adds widgets and fields: a page's /Annots and
// the catalog's /AcroForm /Fields, each grown by the references given.
#pragma once

#include <map>
#include <string>

#include <qpdf/QPDFObjectHandle.hh>

#include "append/object_writer.h"
#include "append/update_writer.h"

namespace corvane::append {

// The new revision that makes `page` list `references` ("12 0 R 14 0 R")
// after its annotations: of its /Annots array when that is an object of its
// own, else of the page itself. Throws what qpdf throws.
[[nodiscard]] NewObject page_listing(const ObjectWriter& writer, QPDFObjectHandle page, const std::string& references);

// The new revision that makes the form of `catalog` list `references` after
// its fields, with the entries of `entries` written (or added) as the texts
// given: of its /AcroForm when that is an object of its own, else of the
// catalog, which gets a form when it has none. Throws what qpdf throws.
[[nodiscard]] NewObject form_listing(const ObjectWriter& writer, QPDFObjectHandle catalog, const std::string& references,
                                     const std::map<std::string, std::string>& entries = {});

}  // namespace corvane::append
