// Signing one file with the class edit, as `corvanepdf sign` does for each
// of its inputs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace corvane::cli {

struct SignRequest {
  std::string input;
  std::string output;
  std::string input_name;  // how messages name the input; `input` when empty
  std::string password;
  std::string user;    // set only when not empty
  std::string reason;  // set only when reason_given
  bool reason_given = false;
  std::string cert;    // --cert: the certificate of this run only
  bool pades = false;   // sets pades "1" when true, else leaves the setting
  std::string tsa_url;  // sets tsaurl only when not empty
  bool ltv = false;     // sets ltv "1" when true, else leaves the setting
  // --append (true) or --rebuild (false); unset: an input that already holds
  // a signature is appended to, any other follows the settings.
  std::optional<bool> append;
  std::string certify;  // --certify: sets certifylevel when not empty
  std::string field;    // --field: the prepared field to sign (appended)
};

// Sets the properties as a host would, then signs. A run into its own
// input holds its lock (platform/in_place_lock.h) from before it looks at
// the input. An input that already holds signatures is appended to unless
// --rebuild was given (a line on stderr says so), and --rebuild on such an
// input warns that the earlier signatures will no longer cover the file. A
// prepared field (--field) is always appended to; a line says so when the
// run would have rebuilt. What can be checked before is checked before; a
// failed run is explained from its failure's kind and message
// (last_error_code, last_error). The run's warnings go to stderr, and its
// diagnostic lines (those of this thread) to `run_lines` when it is given
// (-v). "" when the file was signed, else one line saying why not.
[[nodiscard]] std::string sign_file(const SignRequest& request,
                                    const std::function<void(const std::vector<std::string>&)>& run_lines);

}  // namespace corvane::cli
