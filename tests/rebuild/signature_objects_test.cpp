#include "rebuild/signature_objects.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/rebuild/fake_signer.h"
#include "tests/support/test_support.h"

namespace corvane::rebuild {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The new objects become 12 and 13.
SigningSession session_of_twelve(bool encrypted = false) {
  SigningSession session;
  session.firstNewObject = 12;
  session.signatureRect = "357.000 58.000 535.000 16.000";
  session.documentEncrypted = encrypted;
  return session;
}

// Both objects' text, the slot and the placeholder where they are said to be.
std::string text_of(const SignatureObjects& objects) {
  const std::string& dictionary = objects.dictionary;
  EXPECT_EQ(dictionary.substr(objects.slot_at, objects.slot_width + 2),
            "<" + std::string(objects.slot_width, 'e') + ">");
  EXPECT_EQ(dictionary.substr(objects.byte_range_at, 14), "/ByteRange [0 ");
  return objects.field + dictionary;
}

// The /M value (the current time) checked for its form, then fixed for the golden file.
std::string with_fixed_date(const std::string& text) {
  static const std::regex date(R"(\n/M \(\d{14}[+-]\d\d'\d\d'\)\n)");
  EXPECT_TRUE(std::regex_search(text, date)) << text;
  return std::regex_replace(text, date, "\n/M (yyyymmddhhmmss+hh'mm')\n");
}

TEST(SignatureObjects, UnencryptedDocumentGetsAllEntries) {
  const auto utilities = test::utilities_available();
  SigningSession session = session_of_twelve();
  SignerState signer = test::alex_signer();
  const std::string text = text_of(buildSignatureObjects(session, signer, test::kSmallSlot));

  EXPECT_EQ(session.signingReason, "I am author of this Corvane generated document");
  EXPECT_EQ(signer.signerDnsName, "Corvane_PDF_Suite");
  test::expect_golden("rebuild/testdata/objects_n12.txt", with_fixed_date(text));
}

TEST(SignatureObjects, EncryptedDocumentLeavesOutDescriptiveStrings) {
  SigningSession session = session_of_twelve(/*encrypted=*/true);
  SignerState signer = test::alex_signer();
  const std::string text = text_of(buildSignatureObjects(session, signer, test::kSmallSlot));
  EXPECT_EQ(session.signingReason, "");
  test::expect_golden("rebuild/testdata/objects_n12_encrypted.txt", text);
}

TEST(SignatureObjects, NoDateLineWithoutUtilitiesObject) {
  const auto missing = platform::ObjectFactory::instance().override_class("CAPICOM.Utilities", nullptr);
  SigningSession session = session_of_twelve();
  SignerState signer = test::alex_signer();
  const std::string text = text_of(buildSignatureObjects(session, signer, test::kSmallSlot));
  EXPECT_THAT(text, Not(HasSubstr("/M ")));
  EXPECT_THAT(text, HasSubstr("\n/Location (Corvane_PDF_Suite)\n"));
}

// Values enter the text in the code page and escaped.
TEST(SignatureObjects, ValuesAreConvertedAndEscaped) {
  const auto utilities = test::utilities_available();
  SigningSession session = session_of_twelve();
  SignerState signer = test::alex_signer();
  signer.signerName = "Jürgen (Test";
  const std::string text = text_of(buildSignatureObjects(session, signer, test::kSmallSlot));
  EXPECT_THAT(text, HasSubstr("\n/T (J\xFCrgen \\(Test)\n"));
  EXPECT_THAT(text, HasSubstr("\n/Name (J\xFCrgen \\(Test)\n"));
}

}  // namespace
}  // namespace corvane::rebuild
