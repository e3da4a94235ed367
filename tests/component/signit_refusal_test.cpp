// Runs whose result does not fit the reserved space, or that get no file from the engine, are refused:
// signit answers false, nothing is written (a file at savepath keeps its bytes), the log says why once.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "component/component_state.h"
#include "component/edit.h"
#include "settings/registry.h"
#include "tests/component/fake_engine.h"
#include "tests/component/signed_pdf.h"
#include "tests/settings/settings_test_support.h"
#include "tests/signing/signing_test_support.h"

namespace corvane::component {
namespace {

using test::ScratchDir;

struct RefusalCase {
  const char* name;
  bool engine_writes;                  // false: a scripted engine that writes nothing
  std::function<void(Edit&)> prepare;  // may be empty
  const char* why;                     // part of the logged reason
  platform::ErrorCode code;
};

TEST(SignitRefusal, WritesNothingAndLogsWhy) {
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + "UniqueContainerName",
                                       test::unique_container_of("Alex Signer")));
  const RefusalCase cases[] = {
      {"the engine writes no document", false, nullptr, "the PDF engine wrote no document",
       platform::ErrorCode::kFailed},
      {"rebuild beyond the spare bytes", true, [](Edit& edit) { edit.reason = std::string(16000, 'r'); },
       "spare bytes", platform::ErrorCode::kDocumentLayout},
  };

  ScratchDir outputs("refusal");
  const auto out = outputs / "out.pdf";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file(out, "the file that was here");
    bool result = true;
    std::string lasterror;
    platform::ErrorCode code = platform::ErrorCode::kNone;
    const auto lines = test::logged_messages([&] {
      std::optional<test::FakeEngineInstaller> engine;
      if (!c.engine_writes) engine.emplace();
      Edit edit;
      edit.pdfpath = test::fixture_pdf("plain.pdf").string();
      edit.savepath = out.string();
      if (c.prepare) c.prepare(edit);
      result = edit.signit();
      lasterror = edit.lasterror;
      code = edit.lasterrorcode;
    });
    EXPECT_FALSE(result);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(test::read_file(out), "the file that was here");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outputs.path()), {}), 1)
        << "a file beside out.pdf";
    int refusals = 0;
    for (const auto& line : lines) {
      if (line.find("signing refused: ") == std::string::npos) continue;
      ++refusals;
      EXPECT_NE(line.find(c.why), std::string::npos) << line;
      EXPECT_EQ(line.substr(line.find("signing refused: ") + 17), lasterror);
    }
    EXPECT_EQ(refusals, 1);
  }
}

TEST(SignitRefusal, NoDocumentOpenReadsNoSettingAndWritesNothing) {
  component_state() = ComponentState{};
  ScratchDir scratch("refusal");
  Edit edit;
  edit.pdfpath = "missing.pdf";
  edit.savepath = (scratch / "out.pdf").string();
  edit.dontencrypt = "host value";
  EXPECT_FALSE(edit.signit());
  EXPECT_FALSE(edit.pdfloaded);
  EXPECT_EQ(edit.dontencrypt, "host value");
  EXPECT_FALSE(std::filesystem::exists(scratch / "out.pdf"));
}

}  // namespace
}  // namespace corvane::component
