// The one form in which user names and addresses are kept and compared.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/text_case.h"

namespace corvane::identity {

// Lower case, without surrounding blanks.
[[nodiscard]] inline std::string normalized_name(std::string_view text) {
  return platform::lower_text(platform::trim_blanks(text));
}

}  // namespace corvane::identity
