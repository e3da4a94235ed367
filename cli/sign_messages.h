// What `corvanepdf sign` tells its user: the problems it can see before
// signing, and the reason of a failed run from the run's typed failure.
#pragma once

#include <string>
#include <string_view>

#include "corvanepdf/abi.h"

namespace corvane::cli {

// The first problem a user can fix before signing `input` into `output`:
// the input missing, a folder or unreadable; the output folder missing; no
// certificate configured (nor `certificate_given` for the run) with no
// display or terminal to choose one. "" when none is seen.
[[nodiscard]] std::string sign_precheck(const std::string& input, const std::string& output,
                                        bool certificate_given);

// Whether UniqueContainerName is set (user or machine settings).
[[nodiscard]] bool certificate_configured();
// Whether the certificate chooser has a display or terminal to show on.
[[nodiscard]] bool chooser_can_show();

// The signing key's unique container name as the component reads it (user
// key, then machine key); "" when none is configured.
[[nodiscard]] std::string configured_container();

// What a run that answered false, or whose signed file could not be
// written, tells the user about `input` and `output`, from the run's
// failure: its kind, its message (last_error) and the cause it quotes.
// "" for CPDF_ERROR_NONE. `action` is the command's verb ("sign",
// "timestamp"); its file is the "signed" or "timestamped" one.
struct RunFailure {
  CpdfErrorCode code = CPDF_ERROR_NONE;
  std::string message;
  std::string cause;
};
[[nodiscard]] std::string failure_message(const std::string& input, const std::string& output,
                                          const RunFailure& failure, std::string_view action = "sign");

}  // namespace corvane::cli
