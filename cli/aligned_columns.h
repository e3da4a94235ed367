// Tables for a person at a terminal: columns aligned by the characters
// shown, not bytes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace corvane::cli {

// Prints `rows` (the first usually the headings), each cell padded to its
// column's widest cell plus two blanks, without blanks at the line's end.
// UTF-8 sequences count as one character each; tabs and line ends in a
// cell are shown as blanks, so that every row keeps to one line.
void print_aligned_columns(std::ostream& out, std::vector<std::vector<std::string>> rows);

}  // namespace corvane::cli
