#include "component/visible_text.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <limits>

#include "component/signit_steps.h"
#include "rebuild/signature_rect.h"
#include "rebuild/signing_time.h"
#include "platform/codepage.h"
#include "platform/variant.h"
#include "settings/log.h"
#include "settings/registry.h"

namespace corvane::component {
namespace {

constexpr std::string_view kDatePlaceholder = "@@date@@";
constexpr std::string_view kLinePlaceholder = "@@lf@@";
constexpr std::string_view kSignerPlaceholder = "@@signature@@";
// Opacity of the drawn text in percent.
constexpr std::int32_t kStampOpacity = 100;

std::string user_setting(std::string_view name) {
  std::string path(settings::kUserBase);
  path += name;
  return settings::reg_read(path);
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
  std::string result;
  std::size_t at = 0;
  for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, at)) {
    result.append(text, at, hit - at);
    result += to;
    at = hit + from.size();
  }
  if (at == 0) return;
  result.append(text, at);
  text = std::move(result);
}

std::int32_t engine_encryption(engine::PdfEngine& engine) {
  std::int32_t encryption = 0;  // a failing call leaves "not encrypted"
  (void)engine.GetEncryption(encryption);
  return encryption;
}

std::optional<std::int32_t> whole_number(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Draws the visible text into the widget's box on the first page and logs
// the box. Without four numbers in the rectangle nothing is drawn.
void draw_stamp(Edit& edit, SigningRun& run, const std::string& stamp_text) {
  engine::PdfEngine& engine = *edit.engine;
  SigningSession& session = run.session;
  read_page_size(engine, session);
  rebuild::computeSignatureRect(session);
  const auto box = stamp_box(session.signatureRect, run.rect_parts);
  (void)engine.SetWorkingMode(0);
  if (!box) return;
  (void)engine.AddTextStamp(box->x, box->y, box->width, box->height, stamp_text,
                            /*opacity=*/kStampOpacity);
  edit.log_engine_diagnostics();
  settings::log_line(stamp_log_line(*box));
}

}  // namespace

std::string dontencrypt_from_setting(std::string setting) {
  return setting.empty() ? std::string("0") : setting;
}

bool stamp_switch_on(std::string_view setting) {
  const auto number =
      platform::Variant(std::string(setting.empty() ? std::string_view("0") : setting)).to_double();
  return number && std::isfinite(*number) && *number != 0;
}

std::string fill_stamp_template(std::string_view template_text, std::string_view signer_name,
                                const std::function<std::string()>& time_text) {
  std::string text(template_text);
  if (text.find(kDatePlaceholder) != std::string::npos) {
    try {
      replace_all(text, kDatePlaceholder, time_text());
    } catch (const std::exception&) {
      // No time text on this machine: the placeholder stays as it is.
    }
  }
  replace_all(text, kLinePlaceholder, "\r\n");
  replace_all(text, kSignerPlaceholder, signer_name);
  return platform::utf8_to_codepage(text);
}

std::int32_t whole_points(double points) {
  if (!std::isfinite(points)) return 0;
  const double rounded = std::nearbyint(points);
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max())
    return 0;
  return static_cast<std::int32_t>(rounded);
}

std::optional<engine::StampBox> stamp_box(std::string_view rect, std::array<std::string, 4>& parts) {
  std::array<std::optional<std::int32_t>, 4> numbers;
  parts = {};
  std::size_t at = 0;
  for (std::size_t i = 0; i < parts.size() && at <= rect.size(); ++i) {
    const std::size_t blank = rect.find(' ', at);
    const std::string_view piece =
        rect.substr(at, blank == std::string_view::npos ? std::string_view::npos : blank - at);
    parts[i] = integer_part(piece);
    numbers[i] = whole_number(parts[i]);
    at = blank == std::string_view::npos ? rect.size() + 1 : blank + 1;
  }
  for (const auto& number : numbers)
    if (!number) return std::nullopt;
  const auto [x1, y1, x2, y2] = numbers;
  // In double, where the differences of two whole numbers cannot overflow.
  const double left = *x1;
  const double top = *y1;
  return engine::StampBox{left, top, *x2 - left, top - *y2};
}

std::string stamp_log_line(const engine::StampBox& box) {
  const auto whole = [](double value) { return std::to_string(static_cast<std::int64_t>(value)); };
  return "signature stamp: " + whole(box.x) + ", " + whole(box.y) + ", " + whole(box.width) + ", " +
         whole(box.height);
}

void read_page_size(engine::PdfEngine& engine, SigningSession& session) {
  // A failing call leaves the size read before.
  double width = session.pageWidth;
  double height = session.pageHeight;
  (void)engine.GetPageWidth(width);
  (void)engine.GetPageHeight(height);
  session.pageWidth = whole_points(width);
  session.pageHeight = whole_points(height);
}

std::string filled_stamp_text(const SigningRun& run) {
  std::string template_text = user_setting("signaturetext");
  if (template_text.empty()) template_text = kDefaultStampTemplate;
  return fill_stamp_template(template_text, run.signer.signerName, &rebuild::localTimeWithOffset);
}

VisibleTextSettings read_visible_text_settings(Edit& edit) {
  edit.dontencrypt = dontencrypt_from_setting(user_setting("dontencrypt"));
  return {stamp_switch_on(user_setting("signtext"))};
}

void apply_encryption_and_stamp(Edit& edit, SigningRun& run) {
  SigningSession& session = run.session;
  engine::PdfEngine& engine = *edit.engine;
  const bool stamp_enabled = read_visible_text_settings(edit).stamp_enabled;
  session.documentEncrypted = engine_encryption(engine) == 1;

  if (!stamp_enabled) {
    if (engine_encryption(engine) == 1 && edit.dontencrypt == "1") {
      (void)engine.RemoveEncryption();
      session.documentEncrypted = false;
    }
    return;
  }

  const std::string stamp_text = filled_stamp_text(run);

  if (engine_encryption(engine) != 1) {
    // Not encrypted: the text is drawn and the document stays unencrypted.
    draw_stamp(edit, run, stamp_text);
    return;
  }
  // The text can be drawn only into the decrypted document, and only when
  // the same encryption can be put back afterwards.
  if (edit.encryptionSettings.empty()) return;
  (void)engine.RemoveEncryption();
  session.documentEncrypted = false;
  draw_stamp(edit, run, stamp_text);
  if (edit.dontencrypt == "0") {
    (void)engine.SetEncryptionSettings(edit.encryptionSettings);
    session.documentEncrypted = true;
  }
}

}  // namespace corvane::component
