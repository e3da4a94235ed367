#include "timestamp/authority_settings.h"

#include <cstdlib>

#include "platform/secret_file.h"
#include "settings/setting_values.h"

namespace corvane::timestamp {

long read_timeout_seconds() {
  const auto timeout = settings::whole_number(settings::read_setting("tsatimeout"));
  return timeout && *timeout >= 1 ? *timeout : kDefaultTsaTimeoutSeconds;
}

AuthorityChoice read_authority_settings(const std::string& url) {
  AuthorityChoice choice;
  const std::string chosen = settings::trimmed(url.empty() ? settings::read_setting("tsaurl") : url);
  if (chosen.empty()) return choice;
  TsaSettings tsa;
  tsa.url = chosen;
  tsa.user = settings::read_setting("tsauser");
  tsa.timeout_seconds = read_timeout_seconds();
  if (const char* file = std::getenv(kTsaPasswordFileVariable); file && *file) {
    auto password = platform::read_secret_file(file);
    if (!password.bytes)
      choice.problem = std::string("the timestamp password file named by ") + kTsaPasswordFileVariable +
                       " cannot be read: " + password.problem;
    else
      tsa.password = std::move(*password.bytes);
  }
  choice.tsa = std::move(tsa);
  return choice;
}

}  // namespace corvane::timestamp
