#include "verify/verify_document.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/component/signed_pdf.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::verify {
namespace {

using test::fixture_pdf;
using test::read_file;
using test::ScratchDir;
using test::write_file;

// A peer's signature holds; copies changed inside or outside the signed
// bytes do not.
TEST(VerifyDocument, HoldsOnlyForTheFileAsSigned) {
  const ScratchDir dir("verify-document");
  test::sign_with_peer(fixture_pdf("plain.pdf"), dir / "signed.pdf");
  const std::string original = read_file(dir / "signed.pdf");
  const auto range = test::byte_range_of(original);
  ASSERT_TRUE(range);
  const auto slot_end = static_cast<std::size_t>((*range)[2]);  // just after the slot's ">"
  // Each change keeps the file readable for a PDF reader.
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
    bool want_valid;
    bool want_covered;
  } cases[] = {
      {"unchanged", [](std::string&) {}, true, true},
      {"a blank in the first range", [](std::string& pdf) { pdf[pdf.find(" 0 obj")] = '\t'; }, false, true},
      {"a blank in the second range",
       [slot_end](std::string& pdf) { pdf[pdf.find("  ", slot_end)] = '\t'; }, false, true},
      // The signature value ends the message, just before its end marks.
      // Swapped for another hex digit, so the slot stays a hex string.
      {"a digit of the signature value",
       [slot_end](std::string& pdf) {
         char& digit = pdf[slot_end - 60];
         digit = digit == '5' ? '6' : '5';
       },
       false, true},
      {"an update appended after %%EOF", [](std::string& pdf) { pdf += "\n% an appended update\n%%EOF\n"; }, true,
       false},
  };
  for (const auto& c : cases) {
    std::string pdf = original;
    c.change(pdf);
    write_file(dir / "changed.pdf", pdf);
    const DocumentReport report = verify_document((dir / "changed.pdf").string(), "");
    ASSERT_TRUE(report.opened) << c.what << ": " << report.error;
    ASSERT_EQ(report.signatures.size(), 1u) << c.what;
    const SignatureReport& s = report.signatures[0];
    EXPECT_EQ(s.valid, c.want_valid) << c.what << ": " << s.problem;
    EXPECT_EQ(s.covers_whole_file, c.want_covered) << c.what;
    EXPECT_EQ(all_signatures_hold(report), c.want_valid && c.want_covered) << c.what;
    EXPECT_TRUE(s.signer.trusted) << c.what << ": " << s.signer.trust_problem;
  }
}

}  // namespace
}  // namespace corvane::verify
