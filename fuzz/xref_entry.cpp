// The cross-reference text as the pipeline treats it: read the trailer's
// /Size, reserve the two new entries, then rewrite every entry from the
// offsets of the rebuilt document. Whatever the text, a table that is taken
// must come out as one the rebuild reads again, and a refused one unchanged.
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "pdfupdate/internal/text_lines.h"
#include "pdfupdate/internal/xref_layout.h"
#include "pdfupdate/xref.h"

namespace corvane::fuzz {
namespace {

constexpr std::int32_t kStartxref = 4321;

// Object k at offset 100 * k: every object was found in the rebuilt file.
void fill_offsets(SigningSession& session) {
  session.objectOffsets.assign(static_cast<std::size_t>(session.newSize) + 3, 0);
  for (std::size_t k = 1; k < session.objectOffsets.size(); ++k)
    session.objectOffsets[k] = static_cast<std::int32_t>(100 * k);
}

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

void check_rebuilt_table(const SigningSession& session, std::string_view in, const std::string& out) {
  constexpr std::string_view kReserved = "999999999999999999";
  check(count(out, kReserved) <= count(in, kReserved), "a reserved entry was left in the table");
  SigningSession again;
  again.xrefText = out;
  check(pdfupdate::readTrailerSize(again) == session.newSize,
        "the new trailer /Size is not the new number of objects");
  const auto lines = pdfupdate::internal::split_lines(out);
  const auto layout = pdfupdate::internal::check_xref_layout(lines, again.trailerSize);
  check(layout.problem.empty(), "the rewritten table is outside the layout it was taken in");
  check(layout.object_count == session.newSize, "the subsection does not count the two new objects");
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    if (lines[i] == "startxref" && !lines[i + 1].empty())
      check(lines[i + 1] == std::to_string(kStartxref), "the startxref value was not replaced");
}

}  // namespace

void xref_entry(std::string_view input) {
  const std::string text(input);

  SigningSession session;
  session.xrefText = text;
  if (pdfupdate::readTrailerSize(session) > 0) pdfupdate::reserveSignatureEntries(session);
  if (session.firstNewObject > 0) {
    check(session.unsupportedLayout.empty(), "object numbers were handed out for a refused table");
    check(session.newSize == session.firstNewObject + 2, "the new size is not N + 2");
    fill_offsets(session);
    const std::string out = pdfupdate::rewriteXrefEntries(session, kStartxref);
    check(session.unsupportedLayout.empty(), "an object with an offset was reported missing");
    check_rebuilt_table(session, input, out);
  } else {
    check(session.xrefText == text, "a refused table was changed");
    check(!session.unsupportedLayout.empty(), "a table was refused without a reason");
  }

  // The rewrite alone, on a text that was never checked, must only fail
  // softly: entries for objects without offsets are reported, nothing more.
  SigningSession raw;
  raw.xrefText = text;
  raw.newSize = static_cast<std::int32_t>(input.size() % 64);
  raw.objectOffsets.assign(input.size() % 7, 17);
  (void)pdfupdate::rewriteXrefEntries(raw, /*startxref_value=*/-1);
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::xref_entry)
