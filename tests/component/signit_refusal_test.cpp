// Runs whose result cannot be stored in the reserved space are refused:
// signit answers false, nothing is written (a file already at savepath keeps
// its bytes) and the diagnostic log says why in one line. The byte images
// come from the real engine and are broken on purpose; a scripted engine
// hands them to the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "component/component_state.h"
#include "component/edit.h"
#include "engine/qpdf_engine.h"
#include "settings/registry.h"
#include "tests/component/fake_engine.h"
#include "tests/component/signed_pdf.h"
#include "tests/settings/settings_test_support.h"
#include "tests/signing/signing_test_support.h"

namespace corvane::component {
namespace {

using test::ScratchDir;

// The engine's image of plain.pdf, unencrypted.
std::string plain_image() {
  engine::QpdfEngine engine;
  std::int32_t opened = 0;
  engine.OpenDocument(test::fixture_pdf("plain.pdf").string(), opened);
  std::vector<std::uint8_t> image;
  engine.GetDocumentBytes(image);
  return std::string(image.begin(), image.end());
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// `text` inserted at `at`, with the number behind "startxref" moved along.
std::string inserted(const std::string& image, std::size_t at, const std::string& text) {
  std::string out = image.substr(0, at) + text + image.substr(at);
  const std::size_t number = out.rfind("startxref\n") + 10;
  const std::size_t end = out.find('\n', number);
  out.replace(number, end - number, std::to_string(std::stoll(out.substr(number, end - number)) + text.size()));
  return out;
}

struct RefusalCase {
  const char* name;
  std::function<std::string(const std::string&)> image;
  std::function<void(Edit&)> prepare;  // may be empty
  const char* why;                     // part of the logged reason
};

TEST(SignitRefusal, WritesNothingAndLogsWhy) {
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + "UniqueContainerName",
                                       test::unique_container_of("Alex Signer")));
  const std::string image = plain_image();
  ASSERT_NE(image.find("\n2 0 obj\n"), std::string::npos);
  const std::string size = std::to_string(test::trailer_size(image));

  const RefusalCase cases[] = {
      {"image of 11 bytes", [](const std::string&) { return std::string("%PDF-1.4\n%%"); }, nullptr,
       "no document"},
      {"image of 12 bytes", [](const std::string&) { return std::string("%PDF-1.4\n%%\n"); }, nullptr,
       "no object 2"},
      {"no page object", [](const std::string& s) { return replaced(s, "\n2 0 obj\n", "\n2 0 obj \n"); },
       nullptr, "no object 2"},
      {"no endobj after the page", [](const std::string& s) { return replaced(s, "endobj\n", "endobj \n"); },
       nullptr, "endobj"},
      {"no cross-reference table", [](const std::string& s) { return replaced(s, "\nxref\n", "\nxref \n"); },
       nullptr, "cross-reference table"},
      {"trailer on one line",
       [&](const std::string& s) { return replaced(s, "/Size " + size + "\n", "/Size " + size + " "); },
       nullptr, "/Size"},
      {"startxref not at the table",
       [](const std::string& s) { return replaced(s, "startxref\n", "startxref\n1"); },
       nullptr, "where \"startxref\" says"},
      {"no %%EOF", [](const std::string& s) { return replaced(s, "%%EOF", "%%EOX"); }, nullptr, "%%EOF"},
      {"a line reading like a new object's header",
       [&](const std::string& s) { return inserted(s, 9, size + " 0 obj\n"); }, nullptr,
       "header of new object"},
      {"rebuild beyond the spare bytes", [](const std::string& s) { return s; },
       [](Edit& edit) { edit.reason = std::string(16000, 'r'); }, "spare bytes"},
  };

  ScratchDir outputs("refusal");
  const auto out = outputs / "out.pdf";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::write_file(out, "the file that was here");
    bool result = true;
    std::string lasterror;
    const auto lines = test::logged_messages([&] {
      test::FakeEngineInstaller engine;
      const std::string bytes = c.image(image);
      engine.script().document_bytes.assign(bytes.begin(), bytes.end());
      Edit edit;
      edit.pdfpath = "in.pdf";
      edit.savepath = out.string();
      if (c.prepare) c.prepare(edit);
      result = edit.signit();
      lasterror = edit.lasterror;
    });
    EXPECT_FALSE(result);
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
  test::FakeEngineInstaller engine;
  engine.script().open_result = 0;
  ScratchDir scratch("refusal");
  Edit edit;
  edit.pdfpath = "missing.pdf";
  edit.savepath = (scratch / "out.pdf").string();
  edit.dontencrypt = "host value";
  EXPECT_FALSE(edit.signit());
  EXPECT_EQ(edit.lasterror, "the document could not be opened: no such file: missing.pdf");
  EXPECT_EQ(edit.lasterrorcode, platform::ErrorCode::kNoSuchFile);
  EXPECT_FALSE(edit.pdfloaded);
  EXPECT_EQ(edit.dontencrypt, "host value");
  EXPECT_FALSE(std::filesystem::exists(scratch / "out.pdf"));
  EXPECT_EQ(engine.record().count("GetDocumentBytes"), 0);
  EXPECT_EQ(engine.record().count("CommitChanges"), 0);
}

}  // namespace
}  // namespace corvane::component
