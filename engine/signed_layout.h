// What the signing rebuild adds to a document, and where the engine's writer
// put it: the new objects come from the caller, numbered from the first free
// object number, which only the writer knows once every object of the
// document has its number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane::engine {

struct AddedObjects {
  // The texts of objects n, n + 1, ... in that order, each "k 0 obj" LF
  // through "endobj" LF; object n is the signature field, which the first
  // page's /Annots and the form's /Fields refer to.
  std::vector<std::string> objects;
  // Offsets into the objects' texts taken one after the other: the "<" that
  // opens the signature slot, the slot's width in hex digits (between "<"
  // and ">") and the /ByteRange placeholder.
  std::size_t slot_at = 0;
  std::size_t slot_width = 0;
  std::size_t byte_range_at = 0;
  // Entries for the catalog, "/Key" and the value's text, each in place of
  // the catalog's own entry of that key or added in key order; a dictionary
  // text is merged into the catalog's own dictionary of that key (its other
  // entries kept). The catalog is written after the numbers are known, so a
  // value may refer to a new object ("<< /DocMDP 12 0 R >>").
  std::vector<std::pair<std::string, std::string>> catalog_entries;
};

// Gives the added objects for the first free object number; nullopt stops
// the writing (the caller knows why).
using AddedObjectsFn = std::function<std::optional<AddedObjects>(std::int32_t first_number)>;

// Where the added objects stand in the written file.
struct SignedLayout {
  // The "<" of the signature slot, its width in hex digits, and the
  // /ByteRange placeholder.
  std::size_t slot_at = 0;
  std::size_t slot_width = 0;
  std::size_t byte_range_at = 0;
  // The file's size; it ends with "%%EOF" LF.
  std::size_t size = 0;
  // How many bytes the signature adds to the document as written without
  // it: the page's reference, the new objects and their table entries.
  std::size_t added = 0;
  // Set by a write that failed because the file itself could not be
  // written or read back: the error number (errno); 0 otherwise.
  int file_error = 0;
};

}  // namespace corvane::engine
