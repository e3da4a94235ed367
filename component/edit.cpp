#include "component/edit.h"

#include "component/component_state.h"
#include "component/register_classes.h"
#include "rebuild/signing_time.h"
#include "platform/codepage.h"
#include "platform/object_factory.h"
#include "settings/log.h"
#include "settings/registry.h"
#include "settings/setting_values.h"
#include "signing/sign_content.h"

namespace corvane::component {

Edit::Edit() {
  pdfloaded = false;
  reason = settings::reg_read(std::string(settings::kUserBase) + "reason");
  if (reason.empty()) reason = kDefaultReason;
  // The instance created last sets the default reason for the whole thread.
  component_state().session.signingReason = reason;
  pdfeditloaded = false;
  pdfpath.clear();
  encryptionSettings.clear();
  pdfeditloaded = load_engine();
}

Edit::~Edit() {
  pdfloaded = false;
  reset_buffers();
  encryptionSettings.clear();
  pdfeditloaded = false;
  unload_engine();
}

void Edit::reset_buffers() {
  // New buffers rather than assign(): the memory of a document goes back.
  documentBytes = ByteBuffer(1, 0);
}

void Edit::set_last_error(const platform::Refusal& refusal) {
  lasterror = refusal.message();
  lasterrorcode = refusal.code();
  lasterrorcause = refusal.cause();
}

bool Edit::append_mode() const {
  if (appendmode) return *appendmode;
  const std::string setting = settings::read_setting("appendmode");
  const std::string digits = setting.starts_with('-') ? setting.substr(1) : setting;
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos &&
         digits.find_first_not_of('0') != std::string::npos;
}

bool Edit::load_engine() {
  if (pdfeditloaded) {
    engine.reset();
    pdfeditloaded = false;
  }
  register_component_classes();
  engine = platform::create_as<engine::PdfEngine>(engine::kPdfEngineClassId);
  if (engine) {
    pdfeditloaded = true;
    (void)engine->SetWorkingMode(0);
  }
  return pdfeditloaded;
}

bool Edit::open_document() {
  encryptionSettings.clear();
  pdfloaded = false;
  bool result = false;
  if (pdfpath.empty() || !engine) return false;

  // An operation that fails leaves its out-value as initialised here.
  std::int32_t opened = 0;
  (void)engine->OpenDocument(pdfpath, opened);
  if (opened != 1) {
    open_problem = log_engine_diagnostics();
    return false;
  }
  open_problem.clear();
  (void)engine->SetWorkingMode(0);

  SigningSession& session = component_state().session;
  std::int32_t encryption = 0;
  (void)engine->GetEncryption(encryption);
  if (encryption == 0) {
    session.documentEncrypted = false;
    pdfloaded = true;
    log_engine_diagnostics();
    return true;
  }

  session.documentEncrypted = true;
  if (!pdfpasswd.empty()) {
    std::int32_t accepted = 0;
    (void)engine->SubmitPassword(pdfpasswd, accepted);
    if (accepted > 0) result = pdfloaded = true;
  }
  if (pdfloaded) {
    std::string settings_text;
    (void)engine->GetEncryptionSettings(settings_text);
    encryptionSettings = settings_text;
  } else {
    encryptionSettings.clear();
  }
  log_engine_diagnostics();
  return result;
}

bool Edit::unload_engine() {
  encryptionSettings.clear();
  engine.reset();
  pdfeditloaded = false;
  return true;
}

std::string Edit::log_engine_diagnostics() {
  if (!engine) return {};
  const std::vector<std::string> lines = engine->TakeDiagnostics();
  for (const std::string& line : lines) settings::log_line(line);
  return lines.empty() ? std::string() : lines.front();
}

ByteBuffer Edit::string2byte(const std::string& stringword) const {
  return bytes_from_text(platform::utf8_to_codepage(stringword));
}

std::string Edit::sign(const std::string& was) {
  return signing::signContent(component_state().signer, was, containername);
}

void Edit::choose_certificate() {
  // The chooser reports load errors as text; this member has no result.
  (void)signing::show_chooser(component_state().signer);
}

std::string Edit::GetUniversalTime() { return rebuild::localTimeWithOffset(); }

}  // namespace corvane::component
