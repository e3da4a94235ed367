#include "pdfupdate/internal/xref_layout.h"

#include <algorithm>
#include <cctype>

#include "pdfupdate/internal/decimal.h"
#include "pdfupdate/internal/text_lines.h"
#include "platform/codepage.h"

namespace corvane::pdfupdate::internal {
namespace {

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "oooooooooo ggggg n" or "... f", with or without the blank that completes
// the 20-byte entry.
bool is_entry_line(std::string_view line) {
  if (line.size() == 19) {
    if (line.back() != ' ') return false;
    line.remove_suffix(1);
  }
  return line.size() == 18 && all_digits(line.substr(0, 10)) && line[10] == ' ' &&
         all_digits(line.substr(11, 5)) && line[16] == ' ' && (line[17] == 'n' || line[17] == 'f');
}

// "first count": two numbers separated by one blank.
bool is_subsection_header(std::string_view line) {
  const auto blank = line.find(' ');
  return blank != std::string_view::npos && all_digits(line.substr(0, blank)) &&
         all_digits(line.substr(blank + 1));
}

// True when the first "/Size" reads exactly "/Size n" up to the line end
// (blanks aside), the form in which the new size replaces the old one, and
// stands before the "startxref" line (the line after that one is replaced by
// the new offset).
bool size_written_plainly(const std::vector<std::string_view>& lines, std::int32_t trailer_size) {
  for (const std::string_view line : lines) {
    if (equals_ignoring_case(platform::trim_blanks(line), "startxref")) return false;
    const auto at = line.find("/Size");
    if (at == std::string_view::npos) continue;
    return platform::trim_blanks(line.substr(at)) == "/Size " + std::to_string(trailer_size);
  }
  return false;
}

}  // namespace

std::optional<std::int32_t> subsection_count(std::string_view header) {
  const auto blank = header.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const auto token = header.substr(blank + 1);
  return parse_whole_number(token.substr(0, token.find(' ')));
}

bool is_trailer_line(std::string_view line) { return equals_ignoring_case(line, "trailer"); }

XrefLayout check_xref_layout(const std::vector<std::string_view>& lines,
                             std::int32_t trailer_size) {
  XrefLayout layout;
  if (lines.size() >= 2) layout.object_count = subsection_count(lines[1]).value_or(0);
  layout.problem = [&]() -> std::string {
    if (lines.size() < 3 || lines[0] != "xref")
      return "the cross-reference text does not start with a table";
    const auto trailers = std::count_if(lines.begin(), lines.end(), is_trailer_line);
    if (trailers != 1)
      return trailers == 0 ? "the cross-reference table has no trailer line"
                           : "the document has more than one trailer";
    if (lines[1].substr(0, lines[1].find(' ')) != "0")
      return "the cross-reference table does not start at object 0";
    if (layout.object_count <= 0) return "the cross-reference subsection has no object count";
    // Anything else on the header line could be read for the trailer's /Size.
    if (!is_subsection_header(platform::trim_blanks(lines[1])))
      return "the cross-reference subsection header is not two numbers";

    std::int32_t entries = 0;
    for (std::size_t i = 2; i < lines.size() && !is_trailer_line(lines[i]); ++i) {
      if (is_subsection_header(lines[i]))
        return "the cross-reference table has more than one subsection";
      if (!is_entry_line(lines[i])) return "the cross-reference table holds a line that is no entry";
      ++entries;
    }
    if (entries != layout.object_count)
      return "the cross-reference subsection count does not match its entries";
    if (trailer_size < layout.object_count)
      return "the trailer /Size is smaller than the cross-reference subsection count";
    if (!size_written_plainly(lines, trailer_size))
      return "the trailer /Size is not written as a plain whole number before startxref";
    return {};
  }();
  return layout;
}

}  // namespace corvane::pdfupdate::internal
