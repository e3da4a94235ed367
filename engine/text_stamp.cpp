#include "engine/text_stamp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include <qpdf/QPDFPageObjectHelper.hh>

#include "engine/helvetica_widths.h"

namespace corvane::engine {

namespace {

// Room left free inside the box on every side, in points.
constexpr double kMargin = 1.0;
// Vertical metrics in units of the font size: the font's bounding box
// reaches 0.931 above the baseline and 0.225 below; lines are 1.15 apart.
constexpr double kAscent = 0.931;
constexpr double kDescent = 0.225;
constexpr double kLineSpacing = 1.15;

std::string number_text(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", value);
  std::string text = buffer;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

std::string hex_text(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "<";
  for (unsigned char c : bytes) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  text += '>';
  return text;
}

// A resource name not yet used in the page's `category` dictionary (which
// is created, or copied when shared, so that only this page changes).
std::string add_resource(QPDF& qpdf, QPDFObjectHandle resources, const std::string& category,
                         const std::string& stem, QPDFObjectHandle value) {
  QPDFObjectHandle dictionary = resources.getKey(category);
  if (!dictionary.isDictionary()) {
    dictionary = QPDFObjectHandle::newDictionary();
  } else if (dictionary.isIndirect()) {
    dictionary = dictionary.shallowCopy();
  }
  resources.replaceKey(category, dictionary);
  std::string name = stem;
  for (int suffix = 1; dictionary.hasKey(name); ++suffix) name = stem + std::to_string(suffix);
  dictionary.replaceKey(name, qpdf.makeIndirectObject(value));
  return name;
}

}  // namespace

std::vector<std::string> stamp_lines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += static_cast<unsigned char>(c) < 32 ? ' ' : c;
    }
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

long line_width(std::string_view line) noexcept {
  long width = 0;
  for (unsigned char c : line) width += helvetica_width(c);
  return width;
}

double fitting_font_size(const std::vector<std::string>& lines, double width,
                         double height) noexcept {
  if (lines.empty()) return 0;
  long widest = 0;
  for (const auto& line : lines) widest = std::max(widest, line_width(line));
  const double room_x = width - 2 * kMargin;
  const double room_y = height - 2 * kMargin;
  if (!(room_x > 0) || !(room_y > 0)) return 0;
  double size = kMaxFontSize;
  if (widest > 0) size = std::min(size, room_x * 1000.0 / static_cast<double>(widest));
  const double per_size =
      kAscent + kDescent + kLineSpacing * static_cast<double>(lines.size() - 1);
  size = std::min(size, room_y / per_size);
  size = std::floor(size * 100.0) / 100.0;
  return size > 0 ? size : 0;
}

std::string stamp_content(const std::vector<std::string>& lines, const StampBox& box,
                          double font_size, const std::string& font,
                          const std::string& graphics_state) {
  std::string content = "q\n";
  if (!graphics_state.empty()) content += graphics_state + " gs\n";
  content += "0 g\nBT\n" + font + " " + number_text(font_size) + " Tf\n" +
             number_text(font_size * kLineSpacing) + " TL\n" + number_text(box.x + kMargin) +
             " " + number_text(box.y - kMargin - kAscent * font_size) + " Td\n";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) content += "T*\n";
    content += hex_text(lines[i]) + " Tj\n";
  }
  content += "ET\nQ\n";
  return content;
}

void add_text_stamp(QPDF& qpdf, QPDFObjectHandle page, const StampBox& box, std::string_view text,
                    int opacity) {
  if (opacity < 0 || opacity > 100) throw std::invalid_argument("the opacity is not a percentage");
  const std::vector<std::string> lines = stamp_lines(text);
  if (lines.empty()) return;
  const double size = fitting_font_size(lines, box.width, box.height);
  if (size <= 0) throw std::invalid_argument("the text does not fit the box");

  QPDFPageObjectHelper helper(page);
  QPDFObjectHandle resources = helper.getAttribute("/Resources", /*copy_if_shared=*/true);
  if (!resources.isDictionary()) {
    resources = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Resources", resources);
  }
  QPDFObjectHandle font = QPDFObjectHandle::parse(
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  const std::string font_name = add_resource(qpdf, resources, "/Font", "/CvStamp", font);
  std::string state_name;
  if (opacity < 100) {
    const std::string alpha = number_text(opacity / 100.0);
    QPDFObjectHandle state = QPDFObjectHandle::parse("<< /Type /ExtGState /ca " + alpha +
                                                     " /CA " + alpha + " >>");
    state_name = add_resource(qpdf, resources, "/ExtGState", "/CvStamp", state);
  }
  helper.addPageContents(qpdf.newStream("q\n"), /*first=*/true);
  helper.addPageContents(
      qpdf.newStream("\nQ\n" + stamp_content(lines, box, size, font_name, state_name)),
      /*first=*/false);
}

}  // namespace corvane::engine
