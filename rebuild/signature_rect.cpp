#include "rebuild/signature_rect.h"

#include <cstdio>
#include <string>

#include "rebuild/internal/decimal.h"
#include "rebuild/signature_objects.h"
#include "settings/log.h"
#include "settings/registry.h"

namespace corvane::rebuild {
namespace {

// A4 in points, for an engine that gave no page size.
constexpr std::int32_t kDefaultPageWidth = 595;
constexpr std::int32_t kDefaultPageHeight = 842;

// The whole-number part of `value` written with 15 significant digits, then
// ".000". Taking 15 digits first makes 356.99999999999994 read as 357.
std::string corner_text(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", value);
  std::string whole(text);
  whole = whole.substr(0, whole.find('.'));
  return whole + ".000";
}

std::string setting(std::string_view name) {
  std::string path(settings::kUserBase);
  path += name;
  return settings::reg_read(path);
}

}  // namespace

int percentage_from_setting(std::string_view text, int fallback) {
  const auto value = internal::parse_decimal(text.empty() ? "0" : text);
  if (!value || *value < 1 || *value > 99) return fallback;
  return internal::parse_whole_number(text).value_or(fallback);
}

RectPercentages without_inverted_edges(RectPercentages p) {
  if (p.x2 < p.x1) p.x2 = p.x1 + 1;
  if (p.y1 < p.y2) p.y1 = p.y2 + 1;
  return p;
}

std::string format_signature_rect(std::int32_t page_width, std::int32_t page_height,
                                  const RectPercentages& p) {
  const double w = page_width / 100.0;
  const double h = page_height / 100.0;
  return corner_text(w * p.x1) + " " + corner_text(h * p.y1) + " " + corner_text(w * p.x2) + " " +
         corner_text(h * p.y2);
}

void computeSignatureRect(SigningSession& session) {
  settings::log_line("papersize: " + std::to_string(session.pageWidth) + "/" +
                     std::to_string(session.pageHeight));
  if (session.pageWidth == 0) session.pageWidth = kDefaultPageWidth;
  if (session.pageHeight == 0) session.pageHeight = kDefaultPageHeight;

  const RectPercentages defaults;
  RectPercentages p;
  p.x1 = percentage_from_setting(setting("px1"), defaults.x1);
  p.y1 = percentage_from_setting(setting("py1"), defaults.y1);
  p.x2 = percentage_from_setting(setting("px2"), defaults.x2);
  p.y2 = percentage_from_setting(setting("py2"), defaults.y2);

  session.signatureRect =
      format_signature_rect(session.pageWidth, session.pageHeight, without_inverted_edges(p));
  settings::log_line(session.signatureRect);
}

}  // namespace corvane::rebuild
