#include "pdfupdate/xref.h"

#include <string_view>
#include <vector>

#include "pdfupdate/internal/decimal.h"
#include "pdfupdate/internal/text_lines.h"
#include "pdfupdate/internal/xref_layout.h"
#include "platform/codepage.h"

namespace corvane::pdfupdate {
namespace {

using internal::is_trailer_line;

// Two placeholder entries that stand for the new objects until their offsets
// are known; rewriteXrefEntries overwrites them like every other entry.
constexpr std::string_view kReservedEntry = "999999999999999999";

// Keeps the first reason: it names what went wrong earliest in the run.
void report_unsupported(SigningSession& session, std::string reason) {
  if (session.unsupportedLayout.empty()) session.unsupportedLayout = std::move(reason);
}

// The 20-byte entry of an object in use at `offset`, without its line feed.
std::string xref_entry(std::int32_t offset) {
  const std::string padded = "0000000000" + std::to_string(offset);
  return padded.substr(padded.size() - 10) + " 00000 n ";
}

std::int32_t offset_of(const SigningSession& session, std::int32_t object) {
  if (object < 0 || static_cast<std::size_t>(object) >= session.objectOffsets.size()) return 0;
  return session.objectOffsets[static_cast<std::size_t>(object)];
}

}  // namespace

std::int32_t readTrailerSize(SigningSession& session) {
  if (session.trailerSize > 0) return session.trailerSize;
  if (session.xrefText.empty()) {
    session.trailerSize = 0;
    report_unsupported(session, "the document has no cross-reference table");
    return 0;
  }
  // The value stands after "/Size" and one separating character, alone up to
  // the line end: a trailer written on one line has no readable size.
  const std::string_view text = session.xrefText;
  const auto at = text.find("/Size");
  std::optional<std::int32_t> size;
  if (at != std::string_view::npos && at + 6 <= text.size()) {
    const std::string_view rest = platform::trim_blanks(text.substr(at + 6));
    size = internal::parse_whole_number(rest.substr(0, rest.find('\n')));
  }
  if (!size) {
    report_unsupported(session, "the trailer has no /Size on a line of its own");
    return 0;
  }
  if (*size <= 0) report_unsupported(session, "the trailer /Size is not positive");
  session.trailerSize = *size;
  session.newSize = *size + 2;
  return *size;
}

void reserveSignatureEntries(SigningSession& session) {
  if (session.xrefText.empty()) return;
  const auto lines = internal::split_lines(session.xrefText);
  const auto layout = internal::check_xref_layout(lines, session.trailerSize);
  if (!layout.problem.empty()) {
    // firstNewObject stays 0, so no object numbers are handed out and the
    // text is left as it was.
    report_unsupported(session, layout.problem);
    return;
  }

  // Two reserved entries go directly before "trailer"; every later line
  // moves down by two. Empty lines keep their (empty) place.
  std::vector<std::string> rebuilt;
  rebuilt.reserve(lines.size() + 2);
  for (const std::string_view line : lines) {
    if (is_trailer_line(line)) {
      rebuilt.emplace_back(kReservedEntry);
      rebuilt.emplace_back(kReservedEntry);
    }
    rebuilt.emplace_back(line);
  }

  const std::int32_t n = layout.object_count;
  session.firstNewObject = n;
  if (n + 2 < session.newSize) session.newSize = n + 2;
  rebuilt[1] = "0 " + std::to_string(n + 2);

  std::string text;
  text.reserve(session.xrefText.size() + 2 * (kReservedEntry.size() + 1) + 4);
  for (std::size_t i = 0; i < rebuilt.size(); ++i) {
    if (i > 0) text += '\n';
    text += rebuilt[i];
  }
  internal::replace_all(text, "/Size " + std::to_string(session.trailerSize),
                        "/Size " + std::to_string(session.newSize));
  session.xrefText = std::move(text);
}

std::string rewriteXrefEntries(SigningSession& session, std::int32_t startxref_value) {
  const auto lines = internal::split_lines(session.xrefText);
  std::string out;
  out.reserve(session.xrefText.size() + 16);
  std::int32_t next_object = 1;
  bool replace_next = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string line(lines[i]);
    // Lines 0..2 are "xref", the subsection header and the free entry of
    // object 0; from there on every line up to the trailer is an entry.
    if (i > 2 && !is_trailer_line(line) && next_object < session.newSize) {
      const std::int32_t offset = offset_of(session, next_object);
      if (offset <= 0)
        report_unsupported(session, "object " + std::to_string(next_object) +
                                        " was not found in the rebuilt document");
      line = xref_entry(offset);
      ++next_object;
    }
    if (line.empty()) continue;
    if (replace_next) {
      line = std::to_string(startxref_value);
      replace_next = false;
    }
    out += line;
    out += '\n';
    if (platform::ascii_lower(platform::trim_blanks(line)) == "startxref") replace_next = true;
  }
  session.xrefText = out;
  return out;
}

}  // namespace corvane::pdfupdate
