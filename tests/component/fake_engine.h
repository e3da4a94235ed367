// A PDF engine for the tests of `edit` that answers as its script says and records every call; installed
// in place of the real engine for the life of a FakeEngineInstaller.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pdf_engine.h"
#include "platform/object_factory.h"

namespace corvane::test {

// Answers of the operations; nullopt makes the call fail (false, the out-value left alone).
struct EngineScript {
  std::optional<std::int32_t> open_result = 1;
  std::optional<std::int32_t> encryption = 0;
  std::string user_password = "user";  // SubmitPassword answers 1 for it, else 0
  std::optional<std::string> encryption_settings = "V=5 R=6 AES-256";
};

// Shared between the test and every engine made while the installer lives.
struct EngineRecord {
  EngineScript script;
  std::vector<std::string> calls;  // operation names, in call order
  int created = 0;
  int alive = 0;
  [[nodiscard]] int count(const std::string& call) const;
};

class FakeEngine : public engine::PdfEngine {
 public:
  explicit FakeEngine(std::shared_ptr<EngineRecord> record);
  ~FakeEngine() override;

  bool OpenDocument(const std::string& path, std::int32_t& result) override;
  bool GetEncryption(std::int32_t& result) override;
  bool RemoveEncryption() override;
  bool SubmitPassword(const std::string& password, std::int32_t& result) override;
  bool GetPageWidth(double& result) override;
  bool GetPageHeight(double& result) override;
  bool SetWorkingMode(std::int32_t mode) override;
  bool WriteSignedDocument(const engine::AddedObjectsFn& added, int fd, engine::SignedLayout& layout) override;
  bool AddTextStamp(double x, double y, double width, double height, const std::string& text,
                    std::int32_t opacity) override;
  bool CommitChanges() override;
  bool GetEncryptionSettings(std::string& result) override;
  bool SetEncryptionSettings(const std::string& settings) override;
  std::vector<std::string> TakeDiagnostics() override;

 private:
  template <class T>
  bool answer(const char* call, const std::optional<T>& scripted, T& out);

  std::shared_ptr<EngineRecord> record_;
  int ignored_ = 0;
};

// Puts the fake engine (with `creatable` false nothing: the class looks unregistered) behind the engine's id.
class FakeEngineInstaller {
 public:
  explicit FakeEngineInstaller(bool creatable = true);
  EngineRecord& record() { return *record_; }
  EngineScript& script() { return record_->script; }

 private:
  std::shared_ptr<EngineRecord> record_;
  platform::ObjectFactory::Override override_;
};

}  // namespace corvane::test
