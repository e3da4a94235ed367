#include <string>

#include "pdfupdate/internal/text_lines.h"
#include "pdfupdate/signature_objects.h"

namespace corvane::pdfupdate {
namespace {

// Adds the reference before every "]" of an "/Annots" line. A blank goes in
// front of it unless one is already there, so "[5 0 R]" cannot turn into
// "[5 0 R12 0 R ]".
std::string with_reference_added(std::string_view line, const std::string& reference) {
  std::string out;
  out.reserve(line.size() + reference.size() + 2);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ']') {
      if (i == 0 || line[i - 1] != ' ') out += ' ';
      out += reference;
      out += " ]";
    } else {
      out += line[i];
    }
  }
  return out;
}

}  // namespace

std::string addAnnotToPage(SigningSession& session) {
  // Without a field number there is nothing to refer to; the run is refused
  // anyway because the new objects have no numbers either.
  if (session.pageObjectText.empty() || session.firstNewObject <= 0) return {};

  const std::string reference = std::to_string(session.firstNewObject) + " 0 R";
  const bool has_annots = session.pageObjectText.find("/Annots") != std::string::npos;
  const auto lines = internal::split_lines(session.pageObjectText);

  std::string out;
  out.reserve(session.pageObjectText.size() + reference.size() + 16);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (line.empty()) continue;
    if (has_annots && line.find("/Annots") != std::string_view::npos) {
      // An indirect array ("/Annots 9 0 R") has no "]" and stays as it is.
      out += with_reference_added(line, reference);
    } else {
      out += line;
    }
    out += '\n';
    // Line 1 is the dictionary opener "<<" of the usual page object: the
    // new array becomes the first entry of the page dictionary.
    if (!has_annots && i == 1) out += "/Annots [ " + reference + " ]\n";
  }
  session.pageObjectText = std::move(out);
  return {};
}

}  // namespace corvane::pdfupdate
