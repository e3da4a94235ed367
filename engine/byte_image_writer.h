// Writes a whole document, with the signature's objects added, as one PDF
// file in a fixed layout:
//
//   "%PDF-1.x" LF, "%" and four bytes of 128 or more, LF;
//   objects numbered 1 (the catalog), 2 (the first page), then every other
//   object reachable from the trailer, breadth-first, all generation 0,
//   written in the order of their numbers except the catalog, which comes
//   after them (it names the first added object); then the added objects
//   n, n + 1, ...; each as "N 0 obj" LF, the value, "endobj" LF; a
//   dictionary as "<<" LF, one "/Key value" line per entry, ">>" LF, nested
//   values on their entry's line ("/Annots [ 5 0 R ]"); a stream with a
//   direct /Length, "stream" LF, the data as stored (still filtered), LF
//   "endstream" LF; one classic cross-reference table "xref" LF "0 size" LF
//   with 20-byte entries, "trailer" LF, "<<" LF, "/Size size" LF,
//   "/Root 1 0 R" LF, the /Info, /Encrypt and /ID lines when present, ">>"
//   LF, "startxref" LF, the offset LF, "%%EOF" LF.
//
// The catalog's /AcroForm lists "n 0 R" last in /Fields, has /SigFlags 3 and
// no /NeedAppearances. The first page's /Annots is a direct array of
// references ending with "n 0 R" (one annotation dictionary in its place
// becomes an array, any other value is left out); a page without one gets
// "/Annots [ n 0 R ]" as its first entry. "/Annots" stands nowhere else on
// that page: strings holding it are written in hex, names starting with it
// as "/Annot#73...". Strings that are not printable ASCII are written in
// hex.
#pragma once

#include <cstddef>
#include <stdexcept>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include "engine/encryption.h"
#include "engine/pdf_syntax.h"
#include "engine/signed_layout.h"

namespace corvane::engine {

struct ImageOptions {
  // When set, strings and streams are encrypted with this key under their
  // new object numbers and the encryption dictionary and identifier are
  // written with them; otherwise the file is not encrypted.
  const KeptEncryption* encryption = nullptr;
  // Empties every object in `qpdf` as soon as it is written, so that the
  // parsed document and its file are not both held in memory whole. The
  // document is of no further use then: read its source again.
  bool release_written = false;
};

// Thrown when the added objects' function answers nullopt.
class AddedObjectsRefused : public std::runtime_error {
 public:
  AddedObjectsRefused() : std::runtime_error("the signature's objects could not be made") {}
};

// Writes the file of the document open in `qpdf`, with `first_page` as
// object 2 and the objects `added` gives, into the empty file `fd` (open
// for reading and writing) as it goes: only the first page is held back
// until the field's number is known, then written in its place. Returns
// where the added objects stand. Before writing, the first page's /Annots is
// made a direct array whose annotations are all indirect (it is left out
// when it holds no annotation) and a direct trailer /Info is made indirect;
// these change how the document is stored, not what it says.
// Throws what qpdf throws, AddedObjectsRefused, and std::runtime_error when
// the document has no catalog, a stream's data cannot be read, the added
// objects' slot lies outside their text or the file cannot be written; the
// file then holds part of the document.
[[nodiscard]] SignedLayout write_signed_image(QPDF& qpdf, QPDFObjectHandle first_page, const ImageOptions& options,
                                              const AddedObjectsFn& added, int fd);

}  // namespace corvane::engine
