#include "rebuild/signature_rect.h"

#include <gtest/gtest.h>

#include <string>

#include "rebuild/signature_objects.h"
#include "settings/registry.h"

namespace corvane::rebuild {
namespace {

void set_corner(const char* name, const std::string& value) {
  ASSERT_TRUE(settings::reg_write_text(std::string(settings::kUserBase) + name, value)) << name;
}

// Each case writes the four user settings ("" clears one) for a page of the given size.
TEST(SignatureRect, CornersFromUserSettingsAndPageSize) {
  const struct { const char *px1, *py1, *px2, *py2; std::int32_t width, height; const char* want; } cases[] = {
      {"", "", "", "", 595, 842, "357.000 58.000 535.000 16.000"},
      {"1.5", "7", "90", "2.5", 595, 842, "11.000 58.000 535.000 16.000"},   // both round to 2
      {"99.6", "7", "90", "2", 595, 842, "357.000 58.000 535.000 16.000"},   // above 99: default
      {"0.4", "abc", "99", "1", 595, 842, "357.000 58.000 589.000 8.000"},   // below 1, junk: default
      {"50", "7", "40", "2", 595, 842, "297.000 58.000 303.000 16.000"},     // right edge moves to 51
      {"60", "20", "90", "30", 595, 842, "357.000 261.000 535.000 252.000"}, // upper edge moves to 31
      {"", "", "", "", 612, 792, "367.000 55.000 550.000 15.000"},
      {"", "", "", "", 0, 0, "357.000 58.000 535.000 16.000"},     // no size from the engine: A4
      {"", "", "", "", 595, 850, "357.000 59.000 535.000 17.000"},  // 59.5 and 17 are cut, not rounded
  };
  for (const auto& c : cases) {
    for (const auto& [name, value] : {std::pair{"px1", c.px1}, {"py1", c.py1}, {"px2", c.px2}, {"py2", c.py2}})
      set_corner(name, value);
    SigningSession session;
    session.pageWidth = c.width;
    session.pageHeight = c.height;
    computeSignatureRect(session);
    EXPECT_EQ(session.signatureRect, c.want)
        << c.px1 << " " << c.py1 << " " << c.px2 << " " << c.py2 << " " << c.width << "x" << c.height;
  }
  for (const char* name : {"px1", "py1", "px2", "py2"}) set_corner(name, "");
}

TEST(SignatureRect, CutsAfterFifteenSignificantDigits) {
  // 0.29 * 100 is 28.999999999999996 in binary; read with 15 digits it is 29.
  EXPECT_EQ(format_signature_rect(29, 100, {100, 100, 100, 100}),
            "29.000 100.000 29.000 100.000");
}

}  // namespace
}  // namespace corvane::rebuild
