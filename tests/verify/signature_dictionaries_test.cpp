#include "verify/signature_dictionaries.h"

#include <gtest/gtest.h>

#include "platform/byte_source.h"
#include "tests/support/test_support.h"
#include "verify/pdf_input.h"

namespace corvane::verify {
namespace {

TEST(FindSignatures, FollowsFieldTreesAndWidgetsOnceEach) {
  const std::string pdf = test::make_pdf({
      // 1: the form lists the "form" tree, a text field and "again", which
      // shares its signature dictionary with "form.inner".
      "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R 8 0 R 10 0 R] >> >>",
      // 2: a page tree whose /Kids lead back to its root.
      "<< /Type /Pages /Kids [3 0 R 2 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Annots [5 0 R 7 0 R 9 0 R] >>",
      // 4: a parent that passes /FT on, with a cycle back to itself.
      "<< /T (form) /FT /Sig /Kids [5 0 R 4 0 R] >>",
      "<< /T (inner) /Parent 4 0 R /V 6 0 R /Subtype /Widget /Rect [0 0 0 0] >>",
      "<< /Type /Sig /SubFilter /adbe.pkcs7.detached /ByteRange [0 10 20 30] /Contents <3003020101>"
      " /M (D:20260101120000Z) >>",
      // 7: reachable only from the page, with a direct /V.
      "<< /T (orphan) /FT /Sig /Subtype /Widget /Rect [0 0 0 0]"
      " /V << /SubFilter /ETSI.CAdES.detached /ByteRange [0 1 /x 2] /Contents <00> >> >>",
      "<< /T (text) /FT /Tx /V (hello) >>",
      // 9: a signature field nobody has signed yet.
      "<< /T (unsigned) /FT /Sig /Subtype /Widget /Rect [0 0 0 0] >>",
      "<< /T (again) /FT /Sig /V 6 0 R >>",
  });
  const platform::MemoryByteSource file(pdf);
  const OpenedPdf document = open_pdf(file, file.size(), "");
  ASSERT_TRUE(document.pdf) << document.problem;
  const SignatureScan scan = find_signatures(*document.pdf);
  ASSERT_TRUE(scan.opened) << scan.error;
  ASSERT_EQ(scan.signatures.size(), 2u);
  const SignatureDictionary& inner = scan.signatures[0];
  EXPECT_EQ(inner.field_name, "form.inner");
  EXPECT_EQ(inner.contents_offset, static_cast<long long>(pdf.find("<3003020101>")));
  EXPECT_EQ(inner.signing_time, "D:20260101120000Z");
  const SignatureDictionary& orphan = scan.signatures[1];
  EXPECT_EQ(orphan.field_name, "orphan");
  EXPECT_TRUE(orphan.byte_range.empty());
}

}  // namespace
}  // namespace corvane::verify
