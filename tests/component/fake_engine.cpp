#include "tests/component/fake_engine.h"

#include <algorithm>
#include <utility>

#include "component/register_classes.h"

namespace corvane::test {

int EngineRecord::count(const std::string& call) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

FakeEngine::FakeEngine(std::shared_ptr<EngineRecord> record) : record_(std::move(record)) {
  ++record_->created, ++record_->alive;
}

FakeEngine::~FakeEngine() { --record_->alive; }

// Records the call; answers `scripted` (nullopt: the call fails).
template <class T>
bool FakeEngine::answer(const char* call, const std::optional<T>& scripted, T& out) {
  record_->calls.push_back(call);
  if (!scripted) return false;
  out = *scripted;
  return true;
}

bool FakeEngine::OpenDocument(const std::string&, std::int32_t& result) {
  return answer("OpenDocument", record_->script.open_result, result);
}
bool FakeEngine::GetEncryption(std::int32_t& result) {
  return answer("GetEncryption", record_->script.encryption, result);
}
bool FakeEngine::RemoveEncryption() { return answer<int>("RemoveEncryption", 0, ignored_); }
bool FakeEngine::SubmitPassword(const std::string& password, std::int32_t& result) {
  return answer<std::int32_t>("SubmitPassword", password == record_->script.user_password ? 1 : 0, result);
}
bool FakeEngine::GetPageWidth(double& result) { return answer<double>("GetPageWidth", 595.3, result); }
bool FakeEngine::GetPageHeight(double& result) { return answer<double>("GetPageHeight", 841.9, result); }
bool FakeEngine::SetWorkingMode(std::int32_t) { return answer<int>("SetWorkingMode", 0, ignored_); }
// The fake writes no document.
bool FakeEngine::WriteSignedDocument(const engine::AddedObjectsFn&, int, engine::SignedLayout&) {
  return answer<int>("WriteSignedDocument", std::nullopt, ignored_);
}
bool FakeEngine::AddTextStamp(double, double, double, double, const std::string&, std::int32_t) {
  return answer<int>("AddTextStamp", 0, ignored_);
}
bool FakeEngine::CommitChanges() { return answer<int>("CommitChanges", 0, ignored_); }
bool FakeEngine::GetEncryptionSettings(std::string& result) {
  return answer("GetEncryptionSettings", record_->script.encryption_settings, result);
}
bool FakeEngine::SetEncryptionSettings(const std::string&) { return answer<int>("SetEncryptionSettings", 0, ignored_); }
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
          creatable ? platform::ObjectCreator([record = record_] { return std::make_shared<FakeEngine>(record); })
                    : platform::ObjectCreator())) {}

}  // namespace corvane::test
