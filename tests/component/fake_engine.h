// A PDF engine for the tests of `edit` that answers as the test says and records every call; installed
// in place of the real engine for the life of a FakeEngineInstaller.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "component/register_classes.h"
#include "engine/pdf_engine.h"
#include "platform/object_factory.h"

namespace corvane::test {

// Shared between the test and every engine made while the installer lives: the answers of the operations
// (nullopt makes a call fail: false, the out-value left alone) and what the engines were asked.
struct EngineRecord {
  std::optional<std::int32_t> open_result = 1;
  std::optional<std::int32_t> encryption = 0;
  std::optional<std::string> encryption_settings = "V=5 R=6 AES-256";

  std::vector<std::string> calls;  // operation names, in call order
  int created = 0;
  int alive = 0;
  [[nodiscard]] int count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }
};

class FakeEngine : public engine::PdfEngine {
 public:
  explicit FakeEngine(std::shared_ptr<EngineRecord> record) : record_(std::move(record)) {
    ++record_->created;
    ++record_->alive;
  }
  ~FakeEngine() override { --record_->alive; }

  bool OpenDocument(const std::string&, std::int32_t& result) override {
    return answer("OpenDocument", record_->open_result, result);
  }
  bool GetEncryption(std::int32_t& result) override { return answer("GetEncryption", record_->encryption, result); }
  bool RemoveEncryption() override { return answer<int>("RemoveEncryption", 0, ignored_); }
  bool SubmitPassword(const std::string& password, std::int32_t& result) override {
    return answer<std::int32_t>("SubmitPassword", password == "user" ? 1 : 0, result);  // the right password
  }
  bool GetPageWidth(double& result) override { return answer<double>("GetPageWidth", 595.3, result); }
  bool GetPageHeight(double& result) override { return answer<double>("GetPageHeight", 841.9, result); }
  bool SetWorkingMode(std::int32_t) override { return answer<int>("SetWorkingMode", 0, ignored_); }
  // The fake writes no document.
  bool WriteSignedDocument(const engine::AddedObjectsFn&, int, engine::SignedLayout&) override {
    return answer<int>("WriteSignedDocument", std::nullopt, ignored_);
  }
  bool AddTextStamp(double, double, double, double, const std::string&, std::int32_t) override {
    return answer<int>("AddTextStamp", 0, ignored_);
  }
  bool CommitChanges() override { return answer<int>("CommitChanges", 0, ignored_); }
  bool GetEncryptionSettings(std::string& result) override {
    return answer("GetEncryptionSettings", record_->encryption_settings, result);
  }
  bool SetEncryptionSettings(const std::string&) override { return answer<int>("SetEncryptionSettings", 0, ignored_); }
  std::vector<std::string> TakeDiagnostics() override { return {}; }

 private:
  // Records the call; answers `scripted` (nullopt: the call fails).
  template <class T>
  bool answer(const char* call, const std::optional<T>& scripted, T& out) {
    record_->calls.push_back(call);
    if (!scripted) return false;
    out = *scripted;
    return true;
  }

  std::shared_ptr<EngineRecord> record_;
  int ignored_ = 0;
};

// Puts the fake engine (with `creatable` false nothing: the class looks unregistered) behind the engine's id.
class FakeEngineInstaller {
 public:
  explicit FakeEngineInstaller(bool creatable = true)
      : override_(platform::ObjectFactory::instance().override_class(
            engine::kPdfEngineClassId,
            creatable ? platform::ObjectCreator([record = record_] { return std::make_shared<FakeEngine>(record); })
                      : platform::ObjectCreator())) {}
  EngineRecord& record() { return *record_; }

 private:
  // The real classes are registered first, so that the override replaces the engine's entry instead of
  // being replaced by it later.
  static std::shared_ptr<EngineRecord> fresh_record() {
    component::register_component_classes();
    return std::make_shared<EngineRecord>();
  }

  std::shared_ptr<EngineRecord> record_ = fresh_record();
  platform::ObjectFactory::Override override_;
};

}  // namespace corvane::test
