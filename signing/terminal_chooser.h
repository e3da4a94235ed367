// The chooser as a form on a terminal, for sessions without a display: a
// numbered list with the four columns, the current choice marked "*" and
// selected; a number selects that certificate and shows its key facts,
// "v NUMBER" its details, "c" or an empty line (Enter) chooses the selected
// one, "d" disables, "q", Escape (or the end of input) closes without
// saving.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "signing/chooser_view.h"

namespace corvane::signing {

class TerminalChooserView final : public ChooserView {
 public:
  // Reads the user's answers from `in` and writes to `out`; neither is
  // closed here.
  TerminalChooserView(std::FILE* in, std::FILE* out);

  void add_column(const std::string& caption, int width_twips) override;
  void clear_list() override;
  void add_row(const ChooserRow& row) override;
  void mark_current(int row) override { current_ = row; }
  // The entry the form opens on without a current choice: shown with ">"
  // and its fields, so that Enter chooses what is on the screen.
  void select_row(int row) override { selected_ = row; }
  void set_field(KeyField field, const std::string& text) override;
  void message_box(const std::string& text, const std::string& title, int style) override;
  void show_certificate(const CertificateFacts& facts) override;
  void run_modal(ChooserEvents& events) override;
  void close() override { closing_ = true; }

 private:
  void print_list();
  void print_fields();
  // One answer line without its line end; false at the end of input.
  bool read_line(std::string& line);

  int selected_ = -1;
  std::FILE* in_;
  std::FILE* out_;
  std::vector<std::string> columns_;
  std::vector<ChooserRow> rows_;
  std::vector<std::string> fields_;
  bool closing_ = false;
  int current_ = -1;
};

}  // namespace corvane::signing
