#include <gtest/gtest.h>

#include <string>

#include "pdfupdate/signature_objects.h"

namespace corvane::pdfupdate {
namespace {

TEST(AddAnnotToPage, RefersToTheNewField) {
  const struct { const char *name, *page, *want; std::int32_t field = 12; } cases[] = {
      {"no /Annots yet", "2 0 obj\n<<\n/Type /Page\n/Parent 3 0 R\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [ 12 0 R ]\n/Type /Page\n/Parent 3 0 R\n>>\nendobj\n"},
      {"one reference", "2 0 obj\n<<\n/Annots [ 5 0 R ]\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [ 5 0 R 12 0 R ]\n>>\nendobj\n"},
      {"two references", "2 0 obj\n<<\n/Annots [ 5 0 R 7 0 R ]\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [ 5 0 R 7 0 R 12 0 R ]\n>>\nendobj\n"},
      {"no blank before ]", "2 0 obj\n<<\n/Annots [5 0 R]\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [5 0 R 12 0 R ]\n>>\nendobj\n"},
      {"empty array", "2 0 obj\n<<\n/Annots []\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [ 12 0 R ]\n>>\nendobj\n"},
      {"indirect array", "2 0 obj\n<<\n/Annots 9 0 R\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots 9 0 R\n>>\nendobj\n"},
      {"empty lines dropped", "2 0 obj\n<<\n\n/Type /Page\n\n>>\nendobj\n",
       "2 0 obj\n<<\n/Annots [ 12 0 R ]\n/Type /Page\n>>\nendobj\n"},
      {"opener not on line 1", "2 0 obj\n\n<<\n/Type /Page\n>>\nendobj\n",
       "2 0 obj\n<<\n/Type /Page\n>>\nendobj\n"},
      {"no field number", "2 0 obj\n<<\n/Type /Page\n>>\nendobj\n", "2 0 obj\n<<\n/Type /Page\n>>\nendobj\n", 0},
  };
  for (const auto& c : cases) {
    SigningSession session;
    session.pageObjectText = c.page;
    session.firstNewObject = c.field;
    const std::string result = addAnnotToPage(session);
    if (c.field) {
      EXPECT_EQ(result, "") << c.name;
    }
    EXPECT_EQ(session.pageObjectText, c.want) << c.name;
  }
}

}  // namespace
}  // namespace corvane::pdfupdate
