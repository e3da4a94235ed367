// Adding the new field to the page object's /Annots. The input's first line
// is the field's object number, the rest the page object's text. Every
// reference the page had stays, the new one is added once per array on an
// /Annots line (or once as a new array), and nothing else changes beyond
// dropped empty lines.
#include <charconv>
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "pdfupdate/internal/text_lines.h"
#include "pdfupdate/signature_objects.h"

namespace corvane::fuzz {
namespace {

std::int32_t field_number(std::string_view line) {
  std::int32_t n = 12;
  (void)std::from_chars(line.data(), line.data() + line.size(), n);
  return n;
}

std::size_t count(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// The text without empty lines, every line ended by LF.
std::string without_empty_lines(std::string_view text) {
  std::string out;
  for (const std::string_view line : pdfupdate::internal::split_lines(text)) {
    if (line.empty()) continue;
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace

void annots_entry(std::string_view input) {
  const std::int32_t n = field_number(take_line(input));
  const std::string page(input);

  SigningSession session;
  session.pageObjectText = page;
  session.firstNewObject = n;
  check(pdfupdate::addAnnotToPage(session).empty(), "adding the field answered an error text");
  const std::string& out = session.pageObjectText;
  if (page.empty() || n <= 0) {
    check(out == page, "the page changed although there is no field to add");
    return;
  }

  const std::string reference = std::to_string(n) + " 0 R";
  const auto lines = pdfupdate::internal::split_lines(page);
  std::size_t brackets = 0;
  bool has_annots = false;
  for (const std::string_view line : lines) {
    if (line.find("/Annots") == std::string_view::npos) continue;
    has_annots = true;
    brackets += count(line, "]");
  }
  const bool opener_on_line_1 = lines.size() > 1 && !lines[1].empty();
  const std::size_t added = has_annots ? brackets : opener_on_line_1 ? 1 : 0;
  check(count(out, reference) >= count(page, reference) + added, "the new field is not referred to");
  check(count(out, "/Annots") == count(page, "/Annots") + (has_annots ? 0 : added),
        "an /Annots entry was lost or doubled");
  if (added == 0) check(out == without_empty_lines(page), "the page changed without a reference added");
  check(out.size() >= without_empty_lines(page).size(), "text of the page was lost");
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::annots_entry)
