#include "component/visible_text.h"

#include <gtest/gtest.h>

#include <stdexcept>


namespace corvane::component {
namespace {

TEST(StampSwitch, AnyNumberButZeroTurnsTheTextOn) {
  const struct { const char* setting; bool on; } cases[] = {
      {"", false}, {"0", false}, {"0.0", false}, {"no", false}, {"1x", false},
      {"1", true}, {"-2", true}, {"0.5", true}, {" 3 ", true}};
  for (const auto& c : cases) EXPECT_EQ(stamp_switch_on(c.setting), c.on) << '"' << c.setting << '"';
}

TEST(StampTemplate, ReplacesExactPlaceholdersInOrder) {
  const std::string signer = "Zo\xC3\xAB";  // UTF-8 "Zoë"
  const auto now = [] { return std::string("04.12.2026 14:05:07 +0100"); };
  const struct { const char *name, *template_text, *want; } cases[] = {  // `want` in the code page
      {"no placeholders", "Signed.", "Signed."},
      {"all of them", "at@@lf@@@@date@@ by @@signature@@",
       "at\r\n04.12.2026 14:05:07 +0100 by Zo\xEB"},
      {"capitals stay", "@@DATE@@ @@Lf@@", "@@DATE@@ @@Lf@@"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(fill_stamp_template(c.template_text, signer, now), c.want) << c.name;
  // The signer's name goes in last: its text is never read as a placeholder.
  EXPECT_EQ(fill_stamp_template("by @@signature@@", "@@lf@@@@date@@", now), "by @@lf@@@@date@@");

  const std::string defaults = fill_stamp_template(kDefaultStampTemplate, signer, now);
  EXPECT_EQ(defaults,
            "Signed at\r\n04.12.2026 14:05:07 +0100\r\nwith Zo\xEB's digital certificate.\r\n"
            "No further signature necessary.");
  // Without a clock the date's placeholder stays.
  const auto broken = []() -> std::string { throw std::runtime_error("no clock"); };
  EXPECT_EQ(fill_stamp_template("@@date@@ by @@signature@@", "Alex Signer", broken), "@@date@@ by Alex Signer");
}

TEST(StampBox, WholeNumberPartsGiveCornerWidthAndHeight) {
  std::array<std::string, 4> parts;
  const auto box = stamp_box("400.000 60.000 500.000 10.000", parts);
  ASSERT_TRUE(box);
  EXPECT_EQ(parts, (std::array<std::string, 4>{"400", "60", "500", "10"}));
  EXPECT_EQ(stamp_log_line(*box), "signature stamp: 400, 60, 100, 50");  // x, y, width, height

  // Each part ends at the first comma, else at the first point.
  const auto comma = stamp_box("357,9 58.000 535.5 16", parts);
  ASSERT_TRUE(comma);
  EXPECT_EQ(comma->width, 535 - 357);
  EXPECT_FALSE(stamp_box("1,5.2 -3.9 .5 1.5,2", parts));
  EXPECT_EQ(parts, (std::array<std::string, 4>{"1", "-3", "", "1.5"}));

  for (const char* bad : {"", "400.000 60.000 500.000", "a b c d", "400.000  60.000 500.000 10.000"})
    EXPECT_FALSE(stamp_box(bad, parts)) << '"' << bad << '"';
}

TEST(WholePoints, RoundsHalvesToEven) {
  const struct { double points; std::int32_t want; } cases[] = {
      {595.3, 595}, {841.9, 842}, {612.5, 612}, {613.5, 614}, {-0.5, 0}, {1e300, 0}};
  for (const auto& c : cases) EXPECT_EQ(whole_points(c.points), c.want) << c.points;
}

}  // namespace
}  // namespace corvane::component
