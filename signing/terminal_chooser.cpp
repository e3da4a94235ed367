#include "signing/terminal_chooser.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "signing/chooser_layout.h"

namespace corvane::signing {
namespace {

constexpr std::size_t kMaxColumnWidth = 32;
constexpr const char* kPrompt =
    "\nNumber: select   v NUMBER: certificate   c or Enter: Choose   d: Disable   q or Esc: close\n> ";

// Characters of a UTF-8 text (continuation bytes do not count).
std::size_t display_width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// `text` cut or padded to `width` characters.
std::string fit(const std::string& text, std::size_t width) {
  std::string out;
  std::size_t shown = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool starts_char = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (starts_char && shown == width) break;
    if (starts_char) ++shown;
    out += text[i];
  }
  return out + std::string(width - shown, ' ');
}

// A 1-based entry number, or 0 when `text` is none.
int entry_number(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::atoi(text.c_str());
}

}  // namespace

TerminalChooserView::TerminalChooserView(std::FILE* in, std::FILE* out)
    : in_(in), out_(out), fields_(kKeyFieldCount) {}

void TerminalChooserView::add_column(const std::string& caption, int) { columns_.push_back(caption); }

void TerminalChooserView::clear_list() { rows_.clear(); }

void TerminalChooserView::add_row(const ChooserRow& row) { rows_.push_back(row); }

void TerminalChooserView::set_field(KeyField field, const std::string& text) {
  fields_[static_cast<std::size_t>(field)] = text;
}

void TerminalChooserView::message_box(const std::string& text, const std::string& title, int) {
  std::fprintf(out_, "\n%s: %s\n", title.c_str(), text.c_str());
}

void TerminalChooserView::show_certificate(const CertificateFacts& facts) {
  std::fprintf(out_, "\n%s\n", facts.title.c_str());
  for (const auto& [label, value] : facts.lines) std::fprintf(out_, "  %-20s %s\n", label.c_str(), value.c_str());
}

void TerminalChooserView::print_list() {
  std::array<std::size_t, 4> widths{};
  for (std::size_t c = 0; c < columns_.size() && c < widths.size(); ++c) widths[c] = display_width(columns_[c]);
  for (const ChooserRow& r : rows_) {
    const std::array<const std::string*, 4> cells{&r.issuer, &r.subject, &r.valid_from, &r.valid_to};
    for (std::size_t c = 0; c < 4; ++c) widths[c] = std::max(widths[c], display_width(*cells[c]));
  }
  for (auto& w : widths) w = std::min(w, kMaxColumnWidth);
  std::fprintf(out_, "%s\n\n%s\n", std::string(kChooserCaption).c_str(),
               std::string(kChooserControls[0].caption).c_str());
  std::string header = "  #  ";
  for (std::size_t c = 0; c < columns_.size() && c < widths.size(); ++c) header += fit(columns_[c], widths[c]) + "  ";
  std::fprintf(out_, "%s\n", header.c_str());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const ChooserRow& r = rows_[i];
    const int row = static_cast<int>(i);
    const char mark = row == current_ ? '*' : row == selected_ ? '>' : ' ';
    std::fprintf(out_, "%c%2zu  %s  %s  %s  %s\n", mark, i + 1,
                 fit(r.issuer, widths[0]).c_str(),
                 fit(r.subject, widths[1]).c_str(), fit(r.valid_from, widths[2]).c_str(),
                 fit(r.valid_to, widths[3]).c_str());
  }
}

void TerminalChooserView::print_fields() {
  std::fputc('\n', out_);
  for (const Control& control : kChooserControls) {
    if (!control.field) continue;
    std::fprintf(out_, "  %-18s %s\n", std::string(field_label(*control.field)).c_str(),
                 fields_[static_cast<std::size_t>(*control.field)].c_str());
  }
}

bool TerminalChooserView::read_line(std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') line += static_cast<char>(c);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return c != EOF || !line.empty();
}

void TerminalChooserView::run_modal(ChooserEvents& events) {
  closing_ = false;
  print_list();
  if (current_ >= 0 || selected_ >= 0) print_fields();
  std::string line;
  while (!closing_) {
    std::fputs(kPrompt, out_);
    std::fflush(out_);
    if (!read_line(line) || line == "q" || line == "\x1b") {
      events.Form_Unload();
      return;
    }
    if (line == "c" || line.empty()) {
      events.cmdExit_Click();
    } else if (line == "d") {
      events.Command1_Click();
    } else if (line.rfind("v ", 0) == 0) {
      events.ListView1_DblClick(entry_number(line.substr(2)) - 1);
    } else if (const int n = entry_number(line); n >= 1 && static_cast<std::size_t>(n) <= rows_.size()) {
      events.ListView1_Click(n - 1);
      print_fields();
    } else {
      std::fprintf(out_, "No entry %s.\n", line.c_str());
    }
  }
  std::fflush(out_);
}

}  // namespace corvane::signing
