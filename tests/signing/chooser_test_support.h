// A chooser view that plays a script of user actions, for the form's tests.
#pragma once

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "signing/chooser_view.h"

namespace corvane::test {

class ScriptedView final : public signing::ChooserView {
 public:
  using Step = std::function<void(signing::ChooserEvents&)>;
  explicit ScriptedView(std::vector<Step> script) : script_(std::move(script)) {}

  void add_column(const std::string& caption, int width_twips) override { columns.emplace_back(caption, width_twips); }
  void clear_list() override { rows.clear(); }
  void add_row(const signing::ChooserRow& row) override { rows.push_back(row); }
  void mark_current(int row) override { current = row; }
  void set_field(signing::KeyField field, const std::string& text) override { field_writes.emplace_back(field, text); }
  void message_box(const std::string& text, const std::string& title, int style) override {
    boxes.emplace_back(text, title, style);
  }
  void show_certificate(const signing::CertificateFacts& facts) override { dialogs.push_back(facts); }
  // Plays the script; when it ends with the form still open, the user closes it with the close box.
  void run_modal(signing::ChooserEvents& events) override {
    shown = true;
    for (const Step& step : script_) {
      if (closed) break;
      step(events);
    }
    if (!closed) events.Form_Unload();
  }
  void close() override { closed = true; }

  std::vector<std::pair<std::string, int>> columns;
  std::vector<signing::ChooserRow> rows;
  std::vector<std::pair<signing::KeyField, std::string>> field_writes;
  std::vector<std::tuple<std::string, std::string, int>> boxes;
  std::vector<signing::CertificateFacts> dialogs;
  int current = -1;
  bool shown = false;
  bool closed = false;

 private:
  std::vector<Step> script_;
};

}  // namespace corvane::test
