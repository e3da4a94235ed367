// Signing the fixture PDFs for real, judged by qpdf, pdfsig, openssl and poppler's text tools.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "component/component_state.h"
#include "component/edit.h"
#include "settings/registry.h"
#include "signing/sign_content.h"
#include "tests/component/signed_pdf.h"
#include "tests/signing/signing_test_support.h"
#include "tests/support/test_support.h"

namespace corvane::component {
namespace {

using test::fixture_pdf;
using test::read_file;
using test::ScratchDir;

void set_user(const std::string& name, const std::string& value) {
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + name, value)) << name;
}

// Every test starts with a fresh thread state, the default signer and the settings a case asks for.
class SignitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    component_state() = ComponentState{};
    set_user("UniqueContainerName", test::unique_container_of("Alex Signer"));
    set_user("signtext", "0");
    set_user("dontencrypt", "");
  }
  ScratchDir scratch_{"signit"};
};

// The text the visible signature adds, cut out of the extracted text.
const std::regex kStampText(
    R"( ?Signed at \d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d [+-]\d{4} with Alex Signer's digital certificate\. No further signature necessary\.)");

// Everything a signed file must satisfy; `in` is the input it was made from.
void expect_signed(const std::filesystem::path& in, const std::filesystem::path& out,
                   const std::string& password, bool encrypted_out, bool stamp) {
  const std::string file = read_file(out);
  ASSERT_FALSE(file.empty()) << "nothing written";

  EXPECT_EQ(test::qpdf_problems(out, password), "");
  const std::string report = test::pdfsig_report(out, password);
  EXPECT_NE(report.find("Signature is Valid."), std::string::npos) << report;
  EXPECT_EQ(file.find("/Encrypt") != std::string::npos, encrypted_out);

  // The ranges cover the whole file but the slot, and openssl accepts the signature over them.
  const auto range = test::byte_range_of(file);
  ASSERT_TRUE(range);
  const auto [a, b, c, d] = *range;
  // The slot is as wide as the longest signature of the signer's key.
  const auto signer = signing::select_signer(component_state().signer).certificate;
  const auto hex_length = static_cast<std::int64_t>(signing::longest_signature_hex(signer, /*cades=*/false));
  EXPECT_EQ(a, 0);
  EXPECT_EQ(c, b + hex_length + 2);
  EXPECT_EQ(b + hex_length + 2 + d, static_cast<std::int64_t>(file.size()));
  EXPECT_EQ(test::openssl_problems(file, *range), "");

  // The same text on the same pages, plus the visible text when it is on.
  std::string text = test::page_text(out, password);
  std::smatch stamp_match;
  EXPECT_EQ(std::regex_search(text, stamp_match, kStampText), stamp) << text;
  if (stamp) text = stamp_match.prefix().str() + stamp_match.suffix().str();
  EXPECT_EQ(text, test::page_text(in, password));

  // The field's name reads back, decrypted where the file is encrypted; the objects' text is the rebuild's.
  EXPECT_NE(report.find("Signature Field Name: Alex Signer"), std::string::npos) << report;
}

struct FixtureCase { const char* file; const char* password; const char* dontencrypt; bool stamp; };

TEST_F(SignitTest, SignsEveryKindOfFixture) {
  const FixtureCase cases[] = {
      {"plain.pdf", "", "", false},
      {"plain.pdf", "", "0", true},
      {"ghostscript.pdf", "", "1", true},
      {"xref-stream.pdf", "", "0", true},
      {"enc-rc4-128.pdf", "user", "0", true},
      {"enc-rc4-128.pdf", "user", "1", false},
      {"enc-aes-256.pdf", "user", "0", false},
      {"enc-aes-256.pdf", "user", "1", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " dontencrypt=" + c.dontencrypt + (c.stamp ? " with text" : ""));
    set_user("dontencrypt", c.dontencrypt);
    set_user("signtext", c.stamp ? "1" : "0");
    const auto in = fixture_pdf(c.file);
    const auto out = scratch_ / (std::string("signed-") + c.file);
    const bool encrypted_out = *c.password != '\0' && std::string(c.dontencrypt) != "1";
    {
      Edit edit;
      edit.pdfpath = in.string();
      edit.savepath = out.string();
      edit.pdfpasswd = c.password;
      ASSERT_TRUE(edit.signit());
      EXPECT_EQ(edit.dontencrypt, *c.dontencrypt ? c.dontencrypt : "0");
      EXPECT_EQ(component_state().session.documentEncrypted, encrypted_out);
    }
    expect_signed(in, out, c.password, encrypted_out, c.stamp);
  }
}

// Two instances on one thread share its state: a PAdES run of the second (a longer signature) between two
// default runs of the first sizes the slot anew each time.
TEST_F(SignitTest, SecondInstanceAndSecondRunOnTheSameThread) {
  Edit first;
  Edit second;
  first.pdfpath = fixture_pdf("plain.pdf").string();
  first.savepath = (scratch_ / "first.pdf").string();
  second.pdfpath = fixture_pdf("ghostscript.pdf").string();
  second.savepath = (scratch_ / "second.pdf").string();
  second.pades = "1";
  ASSERT_TRUE(first.signit());
  ASSERT_TRUE(second.signit());
  EXPECT_EQ(second.lasterror, "");

  ASSERT_TRUE(first.signit());
  EXPECT_EQ(first.lasterror, "");
  expect_signed(fixture_pdf("plain.pdf"), scratch_ / "first.pdf", "", false, false);
}

// An EC key's slot holds its longest signature; a shorter one is padded with zeros.
TEST_F(SignitTest, ShorterSignaturePadsItsSlotWithZeros) {
  Edit edit;
  edit.pdfpath = fixture_pdf("plain.pdf").string();
  edit.savepath = (scratch_ / "padded.pdf").string();
  edit.containername = "Blair EC Signer";
  ASSERT_TRUE(edit.signit());
  const std::string file = read_file(scratch_ / "padded.pdf");
  const auto range = test::byte_range_of(file);
  ASSERT_TRUE(range);
  // The DER message's own length, from its header "30 82 HH LL".
  const std::string der = test::slot_bytes(file, *range);
  ASSERT_EQ(der.substr(0, 2), "\x30\x82");
  const std::size_t real = 4 + static_cast<unsigned char>(der[2]) * 256u + static_cast<unsigned char>(der[3]);
  ASSERT_LE(real, der.size());
  EXPECT_EQ(der.substr(real), std::string(der.size() - real, '\0'));
  EXPECT_EQ(test::openssl_problems(file, *range), "");
  const std::string report = test::pdfsig_report(scratch_ / "padded.pdf", "");
  EXPECT_NE(report.find("Signature is Valid."), std::string::npos) << report;
  EXPECT_NE(file.find("/Name (Blair EC Signer)"), std::string::npos);

  // The choice is the instance's own: another one on the thread signs with the saved choice.
  Edit other;
  other.pdfpath = edit.pdfpath;
  other.savepath = (scratch_ / "saved_choice.pdf").string();
  ASSERT_TRUE(other.signit());
  EXPECT_NE(read_file(scratch_ / "saved_choice.pdf").find("/Name (Alex Signer)"), std::string::npos);
}

}  // namespace
}  // namespace corvane::component
