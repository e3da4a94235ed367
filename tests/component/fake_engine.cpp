#include "tests/component/fake_engine.h"

#include <algorithm>
#include <utility>

#include "component/register_classes.h"

namespace corvane::test {

int EngineRecord::count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakeEngine::FakeEngine(std::shared_ptr<EngineRecord> record) : record_(std::move(record)) {
  ++record_->created;
  ++record_->alive;
}

FakeEngine::~FakeEngine() { --record_->alive; }

namespace {

template <class T>
bool answer(const std::optional<T>& scripted, T& out) {
  if (!scripted) return false;
  out = *scripted;
  return true;
}

}  // namespace

bool FakeEngine::OpenDocument(const std::string&, std::int32_t& result) {
  record_->calls.push_back("OpenDocument");
  return answer(record_->script.open_result, result);
}
bool FakeEngine::GetEncryption(std::int32_t& result) {
  record_->calls.push_back("GetEncryption");
  return answer(record_->script.encryption, result);
}
bool FakeEngine::RemoveEncryption() {
  record_->calls.push_back("RemoveEncryption");
  return true;
}
bool FakeEngine::SubmitPassword(const std::string& password, std::int32_t& result) {
  record_->calls.push_back("SubmitPassword");
  result = password == record_->script.user_password ? 1 : 0;
  return true;
}
bool FakeEngine::GetPageWidth(double& result) {
  record_->calls.push_back("GetPageWidth");
  result = 595.3;
  return true;
}
bool FakeEngine::GetPageHeight(double& result) {
  record_->calls.push_back("GetPageHeight");
  result = 841.9;
  return true;
}
bool FakeEngine::SetWorkingMode(std::int32_t) {
  record_->calls.push_back("SetWorkingMode");
  return true;
}
bool FakeEngine::GetDocumentBytes(std::vector<std::uint8_t>& result) {
  record_->calls.push_back("GetDocumentBytes");
  if (record_->script.document_bytes.empty()) return false;
  result = record_->script.document_bytes;
  return true;
}
bool FakeEngine::AddTextStamp(double, double, double, double, const std::string&, std::int32_t) {
  record_->calls.push_back("AddTextStamp");
  return true;
}
bool FakeEngine::CommitChanges() {
  record_->calls.push_back("CommitChanges");
  return true;
}
bool FakeEngine::LoadDocumentBytes(const std::vector<std::uint8_t>&, std::int32_t& result) {
  record_->calls.push_back("LoadDocumentBytes");
  result = 1;
  return true;
}
bool FakeEngine::GetEncryptionSettings(std::string& result) {
  record_->calls.push_back("GetEncryptionSettings");
  return answer(record_->script.encryption_settings, result);
}
bool FakeEngine::SetEncryptionSettings(const std::string&) {
  record_->calls.push_back("SetEncryptionSettings");
  return true;
}
std::vector<std::string> FakeEngine::TakeDiagnostics() { return {}; }

namespace {

// The real classes are registered first, so that the override replaces the
// engine's entry instead of being replaced by it later.
std::shared_ptr<EngineRecord> fresh_record() {
  component::register_component_classes();
  return std::make_shared<EngineRecord>();
}

}  // namespace

FakeEngineInstaller::FakeEngineInstaller(bool creatable)
    : record_(fresh_record()),
      override_(platform::ObjectFactory::instance().override_class(
          engine::kPdfEngineClassId,
          creatable ? platform::ObjectCreator([record = record_] {
            return std::make_shared<FakeEngine>(record);
          })
                    : platform::ObjectCreator())) {}

}  // namespace corvane::test
