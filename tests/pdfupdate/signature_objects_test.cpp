#include "pdfupdate/signature_objects.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/pdfupdate/fake_signer.h"
#include "tests/support/test_support.h"

namespace corvane::pdfupdate {
namespace {

// A table of objects 0..11 with /Size 12: the new objects become 12 and 13.
std::string table_of_twelve() {
  std::string text = "xref\n0 12\n0000000000 65535 f \n";
  for (int k = 1; k < 12; ++k) text += "0000000100 00000 n \n";
  return text + "trailer\n<<\n/Size 12\n/Root 1 0 R\n>>\nstartxref\n1234\n%%EOF\n";
}

SigningSession session_of_twelve() {
  SigningSession session;
  session.xrefText = table_of_twelve();
  session.signatureRect = "357.000 58.000 535.000 16.000";
  return session;
}

// The /M value is the current time: checked for its form, then fixed so
// the text can be compared with a golden file.
std::string with_fixed_date(const std::string& text) {
  static const std::regex date(R"(\n/M \(\d{14}[+-]\d\d'\d\d'\)\n)");
  EXPECT_TRUE(std::regex_search(text, date)) << text;
  return std::regex_replace(text, date, "\n/M (yyyymmddhhmmss+hh'mm')\n");
}

TEST(SignatureObjects, UnencryptedDocumentGetsAllEntries) {
  const auto utilities = test::utilities_available();
  SigningSession session = session_of_twelve();
  SignerState signer = test::alex_signer();
  const std::string text = buildSignatureObjects(session, signer, test::kSmallSlot);

  EXPECT_EQ(session.firstNewObject, 12);
  EXPECT_EQ(session.signatureObjectsText, text);
  EXPECT_EQ(session.signingReason, "I am author of this Corvane generated document");
  EXPECT_EQ(signer.signerDnsName, "Corvane_PDF_Suite");
  test::expect_golden("pdfupdate/testdata/objects_n12.txt", with_fixed_date(text));
  // Built once per run: a second call adds nothing.
  EXPECT_EQ(buildSignatureObjects(session, signer, test::kSmallSlot), "");
  EXPECT_EQ(session.signatureObjectsText, text);
}

TEST(SignatureObjects, EncryptedDocumentLeavesOutDescriptiveStrings) {
  SigningSession session = session_of_twelve();
  session.documentEncrypted = true;
  SignerState signer;
  signer.signerName = "Alex Signer";
  const std::string text = buildSignatureObjects(session, signer, test::kSmallSlot);

  EXPECT_EQ(session.signingReason, "");
  test::expect_golden("pdfupdate/testdata/objects_n12_encrypted.txt", text);

  // Given the document's encryption, the field's name is encrypted for the
  // field's object number.
  SigningSession again = session_of_twelve();
  again.documentEncrypted = true;
  const auto encrypt = [](std::int32_t number, std::string_view plain) {
    return std::to_string(number) + "+" + std::string(plain);
  };
  const std::string encrypted = buildSignatureObjects(again, signer, test::kSmallSlot, encrypt);
  EXPECT_NE(encrypted.find("\n/T <12+Alex Signer>\n"), std::string::npos) << encrypted;
}

TEST(SignatureObjects, PlaceholdersStayWithoutObjectNumbers) {
  const auto utilities = test::utilities_available();
  SigningSession session = session_of_twelve();
  session.xrefText = "xref\n0 12\ntrailer\n<< /Size 12 /Root 1 0 R >>\nstartxref\n9\n%%EOF\n";
  SignerState signer = test::alex_signer();
  const std::string text = buildSignatureObjects(session, signer, test::kSmallSlot);
  EXPECT_EQ(session.firstNewObject, 0);
  EXPECT_FALSE(session.unsupportedLayout.empty());
  for (const char* token : {"@@newxrefnumber-2@@ 0 obj", "@@newxrefnumber-1@@ 0 R", "<@@dummysig@@>"})
    EXPECT_NE(text.find(token), std::string::npos) << token;
}

TEST(SignatureObjects, NoDateLineWithoutUtilitiesObject) {
  const auto missing = platform::ObjectFactory::instance().override_class("CAPICOM.Utilities", nullptr);
  SigningSession session = session_of_twelve();
  SignerState signer = test::alex_signer();
  const std::string text = buildSignatureObjects(session, signer, test::kSmallSlot);
  EXPECT_EQ(text.find("/M "), std::string::npos);
  EXPECT_NE(text.find("\n/Location (Corvane_PDF_Suite)\n"), std::string::npos);
}

// Values enter the text in the code page and escaped; tokens in them stay
// text.
TEST(SignatureObjects, ValuesAreConvertedAndEscaped) {
  const auto utilities = test::utilities_available();
  SigningSession session = session_of_twelve();
  session.signingReason = "@@dummysig@@ @@newxrefnumber-1@@ @@certificate@@ \\ done)";
  SignerState signer = test::alex_signer();
  signer.signerName = "Jürgen (Test";
  const std::string text = buildSignatureObjects(session, signer, test::kSmallSlot);
  EXPECT_NE(text.find("\n/T (J\xFCrgen \\(Test)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n/Name (J\xFCrgen \\(Test)\n"), std::string::npos);
  EXPECT_NE(text.find("\n/Reason (@@dummysig@@ @@newxrefnumber-1@@ @@certificate@@ \\\\ done\\))\n"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace corvane::pdfupdate
