// The certificate chooser form frmPrivKey: its logic, written once for every
// view. It lists the user's store, shows the key facts of a clicked
// certificate, and "Choose" stores the chosen unique container name (in
// SignerState and the user's settings; the machine's too with
// machinewideselection) while "Disable" clears the settings.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "signing/store_objects.h"
#include "signing/chooser_view.h"
#include "signing/signer_state.h"

namespace corvane::signing {

inline constexpr std::string_view kNoKeyText = "This certificate has no private key!";
inline constexpr std::string_view kNoKeyTitle = "No Private Key!";

// "RSA_FULL", "RSA_SIG", "DSS", "FORTEZZA", "ECDSA", else "UNKNOWN".
[[nodiscard]] std::string_view provider_type_name(int provider_type);

class PrivKeyForm final : public ChooserEvents {
 public:
  PrivKeyForm(SignerState& state, ChooserView& view);

  // Opens the store and fills the list. Returns "" when loaded, else the
  // description of the error that ended the loading (the form then does not
  // show).
  // The entry of the current choice (SignerState, else the settings) is
  // marked and selected, else the first entry with a key is selected; its
  // key fields are filled.
  [[nodiscard]] std::string Form_Load();

  void ListView1_Click(int row) override;
  void ListView1_DblClick(int row) override;
  void Command1_Click() override;
  void cmdExit_Click() override;
  void Form_Unload() override;

  // The text a key field holds now.
  [[nodiscard]] const std::string& field(KeyField f) const { return fields_[static_cast<std::size_t>(f)]; }

 private:
  void clearKeyFields();
  void set_field(KeyField f, std::string text);
  void fill_key_fields(const PrivateKey& key);
  void mark_current_choice();

  SignerState& state_;
  ChooserView& view_;
  std::shared_ptr<Store> store_;
  std::shared_ptr<Certificate> selected_;
  std::shared_ptr<PrivateKey> key_;
  std::vector<std::shared_ptr<Certificate>> entry_tags_;  // the certificate of each list entry
  std::array<std::string, kKeyFieldCount> fields_;
};

// Loads the form into `view`, shows it modally and returns when it closes:
// "" then, or the description of the error that ended the loading.
[[nodiscard]] std::string run_chooser(SignerState& state, ChooserView& view);

}  // namespace corvane::signing
