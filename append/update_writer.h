// An incremental update: new objects, and new revisions of old ones,
// appended after a PDF file's last byte with a cross-reference section of
// their own that links back to the file's last one. The file itself is never
// rewritten, so every signature over its bytes stays valid.
//
// Use: OriginalDocument::open the file, read the objects to change through
// its qpdf(), write their new text with an ObjectWriter (which encrypts
// strings and streams for their object numbers), hand them to write_update
// with the document's base(), then write the file (OriginalDocument::copy_to)
// followed by the update's bytes. Several updates may follow one another:
// each one's base is read from the file the previous one made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::append {

// How the file's last cross-reference section is written; the update's
// section is written the same way.
enum class XrefKind { kTable, kStream };

// What an update needs to know of the file it follows.
struct UpdateBase {
  // The file's length in bytes; the update's offsets count from its start.
  std::int64_t file_size = 0;
  // False when the file does not end with a line end: the update then
  // starts with one.
  bool ends_with_eol = true;
  XrefKind xref_kind = XrefKind::kTable;
  // Offset of the last cross-reference section (the file's startxref).
  std::int64_t last_xref = 0;
  // The first number for new objects: above the trailer's /Size and above
  // every object number any cross-reference section of the file lists, so
  // a new object never takes the number of a live one (a /Size below the
  // highest number is a damage readers pass over). The update's /Size
  // covers it.
  std::int32_t first_new_number = 0;
  // The trailer's /Root, /Info, /Encrypt and /ID as PDF text ("1 0 R",
  // "[<...> <...>]"); empty when the trailer has no such entry. They are
  // carried into the new trailer unchanged (so /ID keeps its first element).
  std::string root;
  std::string info;
  std::string encrypt;
  std::string id;
};

// One object of the update: a new number (from first_new_number on) or the
// number and generation of an old object it replaces.
struct NewObject {
  std::int32_t number = 0;
  std::int32_t generation = 0;
  // The text between "N G obj" and "endobj", without line ends around it.
  std::string body;
};

struct Update {
  // The bytes to append after the file.
  std::string bytes;
  // Where each object's "N G obj" line starts, counted from the start of the
  // file (not of the update), in the order the objects were given.
  std::vector<std::int64_t> object_offsets;
};

// The update that adds `objects` to the file described by `base`: the
// objects in the order given, then a cross-reference table with its trailer,
// or a cross-reference stream (an object numbered after every other), with
// /Size raised to cover every number, /Prev naming the file's last section,
// and /Root, /Info, /Encrypt and /ID carried; then startxref and %%EOF.
// Never fails: the caller hands objects whose numbers are unique and
// positive.
[[nodiscard]] Update write_update(const UpdateBase& base, const std::vector<NewObject>& objects);

}  // namespace corvane::append
