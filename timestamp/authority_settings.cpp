#include "timestamp/authority_settings.h"

#include <cstdlib>

#include "settings/setting_values.h"
#include "timestamp/secret_file.h"

namespace corvane::timestamp {

AuthorityChoice read_authority_settings(const std::string& url) {
  AuthorityChoice choice;
  const std::string chosen = settings::trimmed(url.empty() ? settings::read_setting("tsaurl") : url);
  if (chosen.empty()) return choice;
  TsaSettings tsa;
  tsa.url = chosen;
  tsa.user = settings::read_setting("tsauser");
  const auto timeout = settings::whole_number(settings::read_setting("tsatimeout"));
  tsa.timeout_seconds = timeout && *timeout >= 1 ? *timeout : kDefaultTsaTimeoutSeconds;
  if (const char* file = std::getenv(kTsaPasswordFileVariable); file && *file) {
    auto password = read_secret_file(file);
    if (!password)
      choice.problem = std::string("the timestamp password file named by ") + kTsaPasswordFileVariable +
                       " cannot be read";
    else
      tsa.password = std::move(*password);
  }
  choice.tsa = std::move(tsa);
  return choice;
}

}  // namespace corvane::timestamp
