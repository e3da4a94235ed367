#include "signing/priv_key_form.h"

#include <cstdint>

#include "platform/object_factory.h"
#include "settings/registry.h"
#include "settings/setting_values.h"
#include "signing/ole_date.h"

namespace corvane::signing {
namespace {

constexpr int kListWidth = 7215;
// The loop that fills the list counts with a 16-bit number.
constexpr std::int32_t kMaxEntries = 32767;
constexpr std::string_view kCorvaneKey = "Software\\Corvane";
constexpr std::string_view kPdfKey = "Software\\Corvane\\pdf";

std::string path(std::string_view base, std::string_view value) {
  std::string p(base);
  p += value;
  return p;
}

const std::string kUserContainer = path(settings::kUserBase, "UniqueContainerName");
const std::string kMachineContainer = path(settings::kMachineBase, "UniqueContainerName");
const std::string kUserSign = path(settings::kUserBase, "sign");
const std::string kMachineSign = path(settings::kMachineBase, "sign");

// The choice is the running user's: written to the user key only, so that
// root choosing for itself does not choose for every user of the machine.
// The setting machinewideselection (a whole number other than 0) writes it
// to the machine key as well.
bool machine_wide_selection() {
  return settings::whole_number(settings::read_setting("machinewideselection")).value_or(0) != 0;
}

// Writes the chosen name (or "" to disable) and the `sign` switch.
void save_selection(const std::string& name, std::int32_t sign) {
  const bool machine = machine_wide_selection();
  settings::reg_write_text(kUserContainer, name);
  if (machine) settings::reg_write_text(kMachineContainer, name);
  if (machine) settings::reg_write_number(kMachineSign, sign);
  settings::reg_write_number(kUserSign, sign);
}

std::string true_false(bool value) { return value ? "True" : "False"; }

CertificateFacts facts_of(const Certificate& cert) {
  CertificateFacts facts;
  facts.title = cert.GetInfo(CertInfo::kSubjectSimpleName).value_or("");
  auto add = [&facts](const char* label, const std::optional<std::string>& value) {
    if (value) facts.lines.emplace_back(label, *value);
  };
  add("Subject", cert.SubjectName());
  add("Issuer", cert.IssuerName());
  add("Serial Number", cert.SerialNumber());
  if (auto from = cert.ValidFromDate()) add("Valid From", format_ole_date(*from));
  if (auto to = cert.ValidToDate()) add("Valid To", format_ole_date(*to));
  add("SHA-256 Fingerprint", cert.Sha256Fingerprint());
  const auto key = cert.HasPrivateKey() ? cert.PrivateKey() : nullptr;
  facts.lines.emplace_back("Private Key", key ? "Yes" : "No");
  if (key) {
    add("Container", key->ContainerName());
    add("Unique Container", key->UniqueContainerName());
    add("Provider Name", key->ProviderName());
    if (auto type = key->ProviderType()) facts.lines.emplace_back("Provider Type", provider_type_name(*type));
  }
  return facts;
}

}  // namespace

std::string_view provider_type_name(int provider_type) {
  switch (provider_type) {
    case kProviderRsaFull:
      return "RSA_FULL";
    case kProviderRsaSig:
      return "RSA_SIG";
    case kProviderDss:
      return "DSS";
    case kProviderFortezza:
      return "FORTEZZA";
    case kProviderEcdsa:
      return "ECDSA";
    default:
      return "UNKNOWN";
  }
}

PrivKeyForm::PrivKeyForm(SignerState& state, ChooserView& view) : state_(state), view_(view) {}

std::string PrivKeyForm::Form_Load() {
  std::string error;
  store_ = platform::create_as<Store>(kStoreClassId, &error);
  if (!store_) return error;
  platform::CallError open_error;
  if (!store_->Open(kCurrentUserStore, kMyStore, kStoreReadOnly, open_error)) {
    store_.reset();
    return open_error.description;
  }
  for (const char* caption : {"Issuer", "Subject", "Valid From", "Valid To"})
    view_.add_column(caption, kListWidth / 4);
  view_.clear_list();
  entry_tags_.clear();
  const std::int32_t count = store_->Count();
  for (std::int32_t n = 1; n <= count; ++n) {
    if (n > kMaxEntries) return "Overflow";
    auto cert = store_->Item(n);
    if (!cert) return "The certificate list cannot be filled";
    const auto issuer = cert->GetInfo(CertInfo::kIssuerSimpleName);
    const auto subject = cert->GetInfo(CertInfo::kSubjectSimpleName);
    const auto from = cert->ValidFromDate();
    const auto to = cert->ValidToDate();
    if (!issuer || !subject || !from || !to) return "The certificate list cannot be filled";
    view_.add_row({*issuer, *subject, format_ole_date(*from), format_ole_date(*to)});
    entry_tags_.push_back(std::move(cert));
  }
  mark_current_choice();
  return {};
}

void PrivKeyForm::mark_current_choice() {
  std::string current = state_.containerName;
  if (current.empty()) current = settings::read_setting("UniqueContainerName");
  const auto key_of = [this](std::size_t row) {
    return entry_tags_[row]->HasPrivateKey() ? entry_tags_[row]->PrivateKey() : nullptr;
  };
  for (std::size_t row = 0; !current.empty() && row < entry_tags_.size(); ++row) {
    const auto key = key_of(row);
    if (!key || key->UniqueContainerName() != current) continue;
    view_.mark_current(static_cast<int>(row));
    ListView1_Click(static_cast<int>(row));
    return;
  }
  // No current choice in the list: the form opens on the first certificate
  // with a key, so that Enter chooses what the user sees.
  for (std::size_t row = 0; row < entry_tags_.size(); ++row) {
    if (!key_of(row)) continue;
    view_.select_row(static_cast<int>(row));
    ListView1_Click(static_cast<int>(row));
    return;
  }
}

void PrivKeyForm::clearKeyFields() {
  for (std::size_t i = 0; i < kKeyFieldCount; ++i) set_field(static_cast<KeyField>(i), "");
}

void PrivKeyForm::set_field(KeyField f, std::string text) {
  view_.set_field(f, text);
  fields_[static_cast<std::size_t>(f)] = std::move(text);
}

void PrivKeyForm::ListView1_Click(int row) {
  clearKeyFields();
  if (!store_ || row < 0) return;
  auto cert = store_->Item(row + 1);
  if (!cert) return;
  selected_ = std::move(cert);
  if (!selected_->HasPrivateKey()) {
    view_.message_box(std::string(kNoKeyText), std::string(kNoKeyTitle), kStopOkStyle);
    return;
  }
  key_ = selected_->PrivateKey();
  if (key_) fill_key_fields(*key_);
}

// Fills the fields in order; the first fact that cannot be read ends it.
void PrivKeyForm::fill_key_fields(const PrivateKey& key) {
  auto text = [this](KeyField f, const std::optional<std::string>& value) {
    if (value) set_field(f, *value);
    return value.has_value();
  };
  auto flag = [this](KeyField f, const std::optional<bool>& value) {
    if (value) set_field(f, true_false(*value));
    return value.has_value();
  };
  const auto type = key.ProviderType();
  (void)(text(KeyField::kContainerName, key.ContainerName()) &&
         text(KeyField::kUniqueContainer, key.UniqueContainerName()) &&
         flag(KeyField::kIsAccessible, key.IsAccessible()) && flag(KeyField::kIsExportable, key.IsExportable()) &&
         flag(KeyField::kIsHW, key.IsHardwareDevice()) && flag(KeyField::kIsMachineKeySet, key.IsMachineKeyset()) &&
         flag(KeyField::kIsProtected, key.IsProtected()) && flag(KeyField::kIsRemovable, key.IsRemovable()) &&
         text(KeyField::kProviderName, key.ProviderName()) &&
         text(KeyField::kProviderType,
              type ? std::optional<std::string>(provider_type_name(*type)) : std::nullopt));
}

void PrivKeyForm::ListView1_DblClick(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= entry_tags_.size()) return;
  view_.show_certificate(facts_of(*entry_tags_[static_cast<std::size_t>(row)]));
}

void PrivKeyForm::Command1_Click() {
  set_field(KeyField::kUniqueContainer, "");
  save_selection(field(KeyField::kUniqueContainer), 0);
  cmdExit_Click();
}

void PrivKeyForm::cmdExit_Click() {
  const std::string& name = field(KeyField::kUniqueContainer);
  if (!name.empty()) {
    state_.containerName = name;
    (void)settings::reg_create_key(settings::kHkeyCurrentUser, kCorvaneKey);
    (void)settings::reg_create_key(settings::kHkeyCurrentUser, kPdfKey);
    save_selection(name, 1);
  }
  if (store_) store_->Close();
  store_.reset();
  selected_.reset();
  entry_tags_.clear();
  view_.close();
  Form_Unload();
}

void PrivKeyForm::Form_Unload() {
  key_.reset();
  selected_.reset();
  store_.reset();
}

std::string run_chooser(SignerState& state, ChooserView& view) {
  PrivKeyForm form(state, view);
  std::string error = form.Form_Load();
  if (!error.empty()) return error;
  view.run_modal(form);
  return {};
}

}  // namespace corvane::signing
