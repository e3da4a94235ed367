// Assembly of the signed file: the engine's byte image with the page object
// replaced, the two new objects inserted before the cross-reference table
// and the table rewritten, all in place in the one pre-sized assembly buffer
// that holds the image.
#include <cstring>
#include <string_view>

#include "component/object_headers.h"
#include "component/signit_steps.h"
#include "pdfupdate/xref.h"

namespace corvane::component {
namespace {

constexpr std::string_view kPageHeader = "\n2 0 obj\n";
constexpr std::string_view kObjectEnd = "endobj\n";
constexpr std::string_view kXrefLine = "\nxref\n";
constexpr std::string_view kStartXref = "\nstartxref\n";
// Tokens the new objects carry until they are numbered and sized.
constexpr std::string_view kUnfilledTokens[] = {"@@newxrefnumber-2@@", "@@newxrefnumber-1@@",
                                                 "@@dummysig@@"};

std::int32_t find(const ByteBuffer& buffer, std::string_view text, std::int32_t from) {
  return find_bytes(buffer.data(), buffer.size(), text, from);
}

// Copies `size` bytes to `buffer` at `at`; false (nothing copied) when they
// do not fit.
bool put(ByteBuffer& buffer, std::int32_t at, const void* data, std::size_t size) {
  if (at < 0 || static_cast<std::size_t>(at) > buffer.size() ||
      size > buffer.size() - static_cast<std::size_t>(at))
    return false;
  if (size > 0) std::memcpy(buffer.data() + at, data, size);
  return true;
}

bool put(ByteBuffer& buffer, std::int32_t at, std::string_view text) {
  return put(buffer, at, text.data(), text.size());
}

Refusal no_room(const SigningRun& run) {
  return "the rebuilt document needs more than the " + std::to_string(spare_bytes(run)) + " spare bytes";
}

// Offset of the "xref" line that the image's last "startxref" names, when
// that line starts the table behind `after`. Stream data may hold lines
// reading like a table; the number behind "startxref" is the writer's own.
std::int32_t named_xref_line(const ByteBuffer& image, std::int32_t after) {
  const std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
  const std::size_t keyword = text.rfind(kStartXref);
  if (keyword == std::string_view::npos) return kNotFound;
  std::int64_t offset = 0;
  std::size_t digits = 0;
  for (std::size_t at = keyword + kStartXref.size(); at < text.size() && digits < 10; ++at, ++digits) {
    if (text[at] < '0' || text[at] > '9') break;
    offset = offset * 10 + (text[at] - '0');
  }
  if (digits == 0 || offset <= after || static_cast<std::size_t>(offset) >= keyword ||
      text.substr(static_cast<std::size_t>(offset) - 1, kXrefLine.size()) != kXrefLine)
    return kNotFound;
  return static_cast<std::int32_t>(offset) - 1;
}

// Cuts the page object and the part from "xref" on out of the image.
Refusal cut_pieces(Edit& edit, SigningSession& session) {
  const ByteBuffer& image = edit.assemblyBytes;
  const std::int32_t page_header = find(image, kPageHeader, 0);
  if (page_header == kNotFound) return "the document has no object 2 (the page to sign)";
  edit.pageObjectStart = page_header + 1;

  const std::int32_t object_end = find(image, kObjectEnd, edit.pageObjectStart);
  if (object_end == kNotFound) return "object 2 has no \"endobj\" line";
  edit.pageObjectEnd = object_end + static_cast<std::int32_t>(kObjectEnd.size());
  session.pageObjectText = text_from_piece(image.data() + edit.pageObjectStart,
                                           static_cast<std::size_t>(edit.pageObjectEnd - edit.pageObjectStart));

  const std::int32_t xref_line = named_xref_line(image, edit.pageObjectEnd);
  if (xref_line == kNotFound)
    return "the document has no cross-reference table after object 2 where \"startxref\" says";
  edit.xrefStart = xref_line + 1;
  session.xrefText = text_from_piece(image.data() + edit.xrefStart,
                                     image.size() - static_cast<std::size_t>(edit.xrefStart));
  return {};
}

// The new objects must be numbered, sized and listed in the table.
Refusal check_new_objects(const SigningSession& session) {
  if (!session.unsupportedLayout.empty()) return session.unsupportedLayout;
  // Numbered objects hold no token: they were filled before any user text
  // went in, which is never searched.
  if (session.firstNewObject <= 0) {
    for (const std::string_view token : kUnfilledTokens)
      if (session.signatureObjectsText.find(token) != std::string::npos)
        return "the new objects could not be numbered (token " + std::string(token) + " left)";
    return "the new objects could not be numbered";
  }
  if (session.firstNewObject + 1 >= session.newSize)
    return "the cross-reference table has no entries for the new objects";
  return {};
}

// The headers of the two new objects must be the first lines of their kind
// in the file: the table points at the first occurrence of each header.
Refusal check_new_headers(const SigningSession& session, std::int32_t objects_at) {
  const auto field = static_cast<std::size_t>(session.firstNewObject);
  if (session.objectOffsets[field] != objects_at || session.objectOffsets[field + 1] <= objects_at)
    return "a line of the document reads like the header of new object " +
           std::to_string(session.firstNewObject);
  return {};
}

// True when `out` holds the header line of object `number` at `at`.
bool header_at(const ByteBuffer& out, std::int64_t at, std::int32_t number) {
  const std::string header = std::to_string(number) + " 0 obj\n";
  return at >= 1 && static_cast<std::size_t>(at) <= out.size() && out[static_cast<std::size_t>(at) - 1] == '\n' &&
         header.size() <= out.size() - static_cast<std::size_t>(at) &&
         std::memcmp(out.data() + at, header.data(), header.size()) == 0;
}

// Stream data may hold a line that reads like the header of a later object
// (an embedded PDF file stored unfiltered, say), which the scan for headers
// takes for the object itself. The image's own table, still in xrefText,
// says where each old object starts; the objects behind the page object
// moved by `growth`. Where the header really stands at that place, that
// place is the object's offset.
void prefer_table_offsets(const ByteBuffer& out, SigningSession& session, std::int32_t page_end,
                          std::int64_t growth) {
  const std::string_view text = session.xrefText;
  std::size_t line = 0;
  // "xref", the subsection header and the entry of object 0 come first.
  for (int skipped = 0; skipped < 3 && line != std::string_view::npos; ++skipped) {
    line = text.find('\n', line);
    if (line != std::string_view::npos) ++line;
  }
  for (std::int32_t number = 1; number < session.firstNewObject && line != std::string_view::npos; ++number) {
    if (line + 10 > text.size()) return;
    std::int64_t offset = 0;
    for (std::size_t i = line; i < line + 10; ++i) {
      if (text[i] < '0' || text[i] > '9') return;
      offset = offset * 10 + (text[i] - '0');
    }
    const std::int64_t now = offset >= page_end ? offset + growth : offset;
    if (header_at(out, now, number)) session.objectOffsets[static_cast<std::size_t>(number)] = static_cast<std::int32_t>(now);
    line = text.find('\n', line);
    if (line != std::string_view::npos) ++line;
  }
}

}  // namespace

Refusal assemble_document(Edit& edit, ComponentState& state, const SigningRun& run) {
  SigningSession& session = state.session;
  SignerState& signer = state.signer;
  ByteBuffer& out = edit.assemblyBytes;

  session.trailerSize = 0;
  session.newSize = 0;
  session.signatureObjectsText.clear();
  // Numbers are handed out anew once the trailer's /Size is read; a number
  // left from an earlier run must not number this run's objects.
  session.firstNewObject = 0;

  // Everything before the page object stays where it is.
  if (Refusal refusal = cut_pieces(edit, session); !refusal.empty()) return refusal;

  // The field's name of an encrypted document is encrypted as the engine
  // encrypts the document's own strings.
  const pdfupdate::EncryptStringFn encrypt_string = [&edit](std::int32_t number, std::string_view plain) {
    std::string hex;
    return edit.engine->EncryptString(number, std::string(plain), hex) ? hex : std::string();
  };
  (void)pdfupdate::buildSignatureObjects(session, signer, run.kind(), encrypt_string);
  (void)pdfupdate::addAnnotToPage(session);
  if (Refusal refusal = check_new_objects(session); !refusal.empty()) return refusal;

  // The new page object, then every object behind the old one: those move
  // (first, while they are intact) to follow the new page object. The old
  // table behind them is gone; the rest of the buffer is zeroed, as the
  // searches below expect.
  const std::size_t page_size = session.pageObjectText.size();
  const auto page_at = static_cast<std::size_t>(edit.pageObjectStart);
  const auto behind = static_cast<std::size_t>(edit.xrefStart - edit.pageObjectEnd);
  if (page_size > out.size() - page_at || behind > out.size() - page_at - page_size) return no_room(run);
  std::memmove(out.data() + page_at + page_size, out.data() + edit.pageObjectEnd, behind);
  std::memcpy(out.data() + page_at, session.pageObjectText.data(), page_size);
  edit.writePos = static_cast<std::int32_t>(page_at + page_size + behind);
  std::memset(out.data() + edit.writePos, 0, out.size() - static_cast<std::size_t>(edit.writePos));

  const std::int32_t objects_at = edit.writePos;
  if (!put(out, edit.writePos, session.signatureObjectsText)) return no_room(run);
  edit.writePos += static_cast<std::int32_t>(session.signatureObjectsText.size());

  session.objectOffsets.assign(static_cast<std::size_t>(session.newSize) + 3, 0);
  find_object_headers(out.data(), out.size(), session.newSize - 1, session.objectOffsets);
  prefer_table_offsets(out, session, edit.pageObjectEnd,
                       static_cast<std::int64_t>(page_size) - (edit.pageObjectEnd - edit.pageObjectStart));
  if (Refusal refusal = check_new_headers(session, objects_at); !refusal.empty()) return refusal;

  (void)pdfupdate::rewriteXrefEntries(session, edit.writePos);
  if (!session.unsupportedLayout.empty()) return session.unsupportedLayout;
  // The table goes last; writePos stays at its "xref" line and the rest of
  // the buffer stays zero.
  if (!put(out, edit.writePos, session.xrefText)) return no_room(run);
  return {};
}

}  // namespace corvane::component
