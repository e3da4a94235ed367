// The visible signature text: its settings, its template and the box it is
// drawn in.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/text_stamp.h"

namespace corvane::component {

// Template used when the setting `signaturetext` is empty.
inline constexpr std::string_view kDefaultStampTemplate =
    "Signed at@@lf@@@@date@@@@lf@@with @@signature@@'s digital certificate.@@lf@@"
    "No further signature necessary.";

// The setting `dontencrypt`, "0" when empty.
[[nodiscard]] std::string dontencrypt_from_setting(std::string setting);

// True when the setting `signtext` is a number other than 0; an empty text
// counts as "0" and a text that is no number as off.
[[nodiscard]] bool stamp_switch_on(std::string_view setting);

// Fills the template (UTF-8): "@@date@@" becomes time_text() (the whole
// replacement is skipped when it throws), "@@lf@@" CR LF, "@@signature@@"
// `signer_name`. Exact, case-sensitive matches, in this order. The result is
// code-page text, as the engine draws it.
[[nodiscard]] std::string fill_stamp_template(std::string_view template_text, std::string_view signer_name,
                                              const std::function<std::string()>& time_text);

// A page size in whole points: rounded, halves to the even neighbour; 0 for
// a value that is no finite 32-bit number.
[[nodiscard]] std::int32_t whole_points(double points);

// The stamp's box from a widget rectangle "x1 y1 x2 y2": left, top, width
// (x2 - x1) and height (y1 - y2), each from the whole-number part of its
// number; nullopt when the text does not hold four such numbers. `parts`
// receives the four whole-number texts that were found.
[[nodiscard]] std::optional<engine::StampBox> stamp_box(std::string_view rect,
                                                        std::array<std::string, 4>& parts);

// "signature stamp: x, y, width, height", each a whole number.
[[nodiscard]] std::string stamp_log_line(const engine::StampBox& box);

}  // namespace corvane::component
