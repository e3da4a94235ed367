// The visible signature text: its lines, and a render showing it filling its box and nowhere else (its
// words are extracted from signed files by the signit tests).
#include "engine/text_stamp.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/engine/engine_test_support.h"

namespace corvane::engine::test {
namespace {

TEST(TextStamp, LinesAreSplitAtLineBreaks) {
  const struct { std::string text; std::vector<std::string> lines; } cases[] = {
      {"a\r\nb", {"a", "b"}}, {"a\r\n\r\n", {"a"}}, {"a\nb\rc", {"a", "b", "c"}},
      {"\r\nb", {"", "b"}}, {"x\ty", {"x y"}}, {"", {}}};
  for (const auto& c : cases) EXPECT_EQ(stamp_lines(c.text), c.lines) << c.text;
}

struct Gray { int width = 0, height = 0; std::string pixels; };

// Page 1 at 72 dpi (one pixel per point), rendered into `dir`.
Gray render(const std::filesystem::path& pdf, const ScratchDir& dir) {
  const auto prefix = (dir / "render").string();
  run_command("pdftoppm -r 72 -gray -singlefile -f 1 -l 1 " + shell_quote(pdf.string()) + " " + shell_quote(prefix));
  const std::string data = read_file(prefix + ".pgm");
  int width = 0, height = 0, header = 0;  // header: its length up to the one blank before the pixels
  if (std::sscanf(data.c_str(), "P5 %d %d 255%n", &width, &height, &header) != 2 || header == 0) return {};
  return {width, height, data.substr(static_cast<std::size_t>(header) + 1)};
}

TEST(TextStamp, IsDrawnInsideItsBoxAndNowhereElse) {
  ScratchDir dir("stamp");
  const std::string text = "Signed at 2024-05-01 10:00:00 +02:00\r\nwith a digital certificate";
  const struct { std::filesystem::path file; StampBox box; int opacity; } cases[] = {
      {fixture_pdf("plain.pdf"), {357, 58, 178, 42}, 100},
      // The page's content leaves the graphics state scaled and red.
      {written(dir / "odd.pdf", odd_pdf(/*rotated=*/false)), {300, 300, 180, 60}, 100},
      {fixture_pdf("annots-form.pdf"), {367, 55, 183, 40}, 50}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.filename().string());
    QpdfEngine engine;
    open(engine, c.file);
    double page_height = 0;
    ASSERT_TRUE(engine.GetPageHeight(page_height));
    ASSERT_TRUE(engine.AddTextStamp(c.box.x, c.box.y, c.box.width, c.box.height, text, c.opacity));
    ASSERT_TRUE(engine.CommitChanges());
    const auto stamped = dir / "stamped.pdf";
    const std::string image = image_of(engine);
    EXPECT_EQ(layout_violations(image), std::vector<std::string>{});
    write_file(stamped, image);
    EXPECT_EQ(qpdf_problems(stamped), "");

    // Top-left origin, as the render measures.
    const double left = c.box.x, right = c.box.x + c.box.width;
    const double top = page_height - c.box.y, bottom = top + c.box.height;
    const Gray before = render(c.file, dir), after = render(stamped, dir);
    ASSERT_GT(before.width, 0);
    ASSERT_EQ(before.pixels.size(), after.pixels.size());
    int changed = 0, outside = 0, leftmost = before.width, rightmost = 0;
    for (int y = 0; y < before.height; ++y) {
      for (int x = 0; x < before.width; ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * before.width + x;
        if (before.pixels[at] == after.pixels[at]) continue;
        ++changed;
        leftmost = std::min(leftmost, x);
        rightmost = std::max(rightmost, x);
        if (x < left - 1 || x > right + 1 || y < top - 1 || y > bottom + 1) ++outside;
      }
    }
    EXPECT_GT(changed, 50);
    EXPECT_EQ(outside, 0);
    // The font is as large as the box allows: here the longest line spans nearly its width.
    EXPECT_GT(rightmost - leftmost, 0.9 * c.box.width) << rightmost - leftmost;
  }
}

}  // namespace
}  // namespace corvane::engine::test
