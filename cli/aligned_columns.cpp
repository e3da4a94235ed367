#include "cli/aligned_columns.h"

#include <algorithm>

namespace corvane::cli {
namespace {

// Characters on the screen: UTF-8 sequences count once.
std::size_t shown_width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

void print_aligned_columns(std::ostream& out, std::vector<std::vector<std::string>> rows) {
  std::vector<std::size_t> widths;
  for (auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size());
    for (std::size_t i = 0; i < row.size(); ++i) {
      std::replace_if(row[i].begin(), row[i].end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
      widths[i] = std::max(widths[i], shown_width(row[i]));
    }
  }
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - shown_width(row[i]) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  }
}

}  // namespace corvane::cli
