// The certificate chooser's view: what a window (or terminal form) shows and
// how the user's actions reach the form logic (PrivKeyForm). The window
// module implements ChooserView against this header alone, so it must stay
// free of code that lives in the component library.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace corvane::signing {

// The ten key fields, in the order the form clears them.
enum class KeyField {
  kContainerName,
  kUniqueContainer,
  kIsAccessible,
  kIsExportable,
  kIsHW,
  kIsMachineKeySet,
  kIsProtected,
  kIsRemovable,
  kProviderName,
  kProviderType,
};
inline constexpr std::size_t kKeyFieldCount = 10;

// One list entry: issuer, then the three sub-items.
struct ChooserRow {
  std::string issuer;
  std::string subject;
  std::string valid_from;
  std::string valid_to;
};

// What the certificate dialog shows: a title and labelled lines.
struct CertificateFacts {
  std::string title;
  std::vector<std::pair<std::string, std::string>> lines;
};

// Message box style: stop icon and an OK button.
inline constexpr int kStopOkStyle = 16;

// The form's handlers, called by the view for the user's actions.
class ChooserEvents {
 public:
  virtual ~ChooserEvents() = default;
  // Entry `row` (0-based) became the selected one, by a click or by the
  // keyboard; -1 when no entry is selected.
  virtual void ListView1_Click(int row) = 0;
  // A double click on entry `row`; -1 when no entry is selected.
  virtual void ListView1_DblClick(int row) = 0;
  // The "Disable" button.
  virtual void Command1_Click() = 0;
  // The "Choose" button.
  virtual void cmdExit_Click() = 0;
  // The user closed the form without a button (close box, end of input).
  virtual void Form_Unload() = 0;
};

class ChooserView {
 public:
  virtual ~ChooserView() = default;
  // Adds a list column of the given width (twips).
  virtual void add_column(const std::string& caption, int width_twips) = 0;
  virtual void clear_list() = 0;
  virtual void add_row(const ChooserRow& row) = 0;
  // Marks entry `row` as the current choice and makes it the selected entry
  // (without calling a handler), so the form opens on it.
  virtual void mark_current(int row) = 0;
  // Makes entry `row` the selected one (without calling a handler) when no
  // entry is the current choice, so the form opens on it with its details.
  virtual void select_row(int row) { (void)row; }
  virtual void set_field(KeyField field, const std::string& text) = 0;
  // A modal message; returns when the user has dismissed it.
  virtual void message_box(const std::string& text, const std::string& title, int style) = 0;
  // The certificate dialog; returns when the user has closed it.
  virtual void show_certificate(const CertificateFacts& facts) = 0;
  // Shows the form modally and hands the user's actions to `events` until a
  // handler calls close() or the user closes the form; in the latter case
  // the view calls events.Form_Unload() and returns.
  virtual void run_modal(ChooserEvents& events) = 0;
  // Ends run_modal once the running handler returns (no Form_Unload call).
  virtual void close() = 0;
};

// The window module's entry point, exported as kChooserViewEntry. It returns
// a new view, or nullptr with a reason in `error` (no display, ...).
inline constexpr int kChooserViewAbi = 3;
inline constexpr const char* kChooserViewEntry = "corvane_create_chooser_view";
using CreateChooserViewFn = ChooserView* (*)(int abi, char* error, std::size_t error_size);

}  // namespace corvane::signing
