#include "forms/signature_fields.h"

#include <gtest/gtest.h>

#include "platform/hex.h"
#include "tests/support/test_support.h"
#include "tests/verify/verify_test_support.h"

namespace corvane::forms {
namespace {

using Action = verify::FieldLocks::Action;

TEST(SignatureFields, ListsNamesPagesSignersLocksAndCertification) {
  const std::string cms = platform::lower_hex(test::openssl_sign("signed bytes", "signer", "sha256"));
  test::ScratchDir dir("forms");
  test::write_file(dir / "form.pdf", test::make_pdf({
      // 1: the form: a parent field "form" that lists itself among its kids,
      // a text field, and the certification naming object 9.
      "<< /Type /Catalog /Pages 2 0 R /Perms << /DocMDP 9 0 R >>"
      " /AcroForm << /Fields [5 0 R 6 0 R 8 0 R 10 0 R 12 0 R] >> >>",
      "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Annots [7 0 R] >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 600 800] /Annots [5 0 R 8 0 R] >>",
      // 5: empty, merged with its widget, page from /P, locking every field.
      "<< /FT /Sig /T (Buyer) /Subtype /Widget /Rect [10 20 110.5 60] /P 4 0 R"
      " /Lock << /Type /SigFieldLock /Action /All >> >>",
      // 6: a parent passing /FT on; its kid "Seller" has a widget on page 1
      // without /P, and locks "Buyer".
      "<< /T (form) /FT /Sig /Kids [11 0 R 6 0 R] >>",
      "<< /Subtype /Widget /Parent 11 0 R /Rect [0 0 50 50] >>",
      // 8: signed and certifying, signer from the CMS, time from /M.
      "<< /FT /Sig /T (Approver) /Subtype /Widget /Rect [0 0 0 0] /V 9 0 R >>",
      "<< /Type /Sig /Contents <" + cms + "> /M (D:20261204140507+01'00')"
      " /Reference [<< /TransformMethod /DocMDP /TransformParams << /P 2 /V /1.2 >> >>] >>",
      // 10: a text field is no signature field.
      "<< /FT /Tx /T (Amount) /V (12) >>",
      "<< /T (Seller) /Parent 6 0 R /Kids [7 0 R] /Lock << /Action /Include /Fields [(Buyer)] >> >>",
      // 12: signed as /Name says (its message is not read).
      "<< /FT /Sig /T (Witness) /V << /Type /Sig /Contents <00> /Name (Robin) >> >>",
  }));

  const FormFields form = read_signature_fields((dir / "form.pdf").string(), "");
  ASSERT_EQ(form.refusal.message(), "");
  const struct {
    const char* name;
    int page;
    std::array<double, 4> rect;
    bool is_signed;
    const char* signer;
    const char* time;
    Action lock;
    std::vector<std::string> locked;
  } want[] = {
      {"Buyer", 2, {10, 20, 110.5, 60}, false, "", "", Action::kAll, {}},
      {"form.Seller", 1, {0, 0, 50, 50}, false, "", "", Action::kInclude, {"Buyer"}},
      {"Approver", 2, {0, 0, 0, 0}, true, "Alex Signer", "2026-12-04T14:05:07+01:00", Action::kNone, {}},
      {"Witness", 0, {0, 0, 0, 0}, true, "Robin", "", Action::kNone, {}},
  };
  ASSERT_EQ(form.fields.size(), std::size(want));
  for (std::size_t i = 0; i < std::size(want); ++i) {
    const SignatureField& got = form.fields[i];
    EXPECT_EQ(got.name, want[i].name);
    EXPECT_EQ(got.page, want[i].page) << got.name;
    EXPECT_EQ(got.rect, want[i].rect) << got.name;
    EXPECT_EQ(got.is_signed, want[i].is_signed) << got.name;
    EXPECT_EQ(got.signer, want[i].signer) << got.name;
    EXPECT_EQ(got.signing_time, want[i].time) << got.name;
    EXPECT_EQ(got.lock.action, want[i].lock) << got.name;
    EXPECT_EQ(got.lock.fields, want[i].locked) << got.name;
  }
  EXPECT_EQ(form.certification.level, 2);
  EXPECT_EQ(form.certification.field, "Approver");
  EXPECT_EQ(form.certification.signer, "Alex Signer");

  // What cannot be read is a refusal, not an empty form.
  EXPECT_EQ(read_signature_fields((dir / "missing.pdf").string(), "").refusal.code(), platform::ErrorCode::kNoSuchFile);
  EXPECT_EQ(read_signature_fields(test::fixture_pdf("not-a-pdf.pdf").string(), "").refusal.code(),
            platform::ErrorCode::kDocumentLayout);
}

}  // namespace
}  // namespace corvane::forms
