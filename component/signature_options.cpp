#include "component/signature_options.h"

#include <charconv>
#include <cstdlib>

#include "component/edit.h"
#include "settings/registry.h"
#include "timestamp/secret_file.h"

namespace corvane::component {
namespace {

// The value from the user key, else from the machine key.
std::string setting(std::string_view name) {
  std::string value = settings::reg_read(std::string(settings::kUserBase) + std::string(name));
  if (value.empty()) value = settings::reg_read(std::string(settings::kMachineBase) + std::string(name));
  return value;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<long> whole_number(const std::string& text) {
  const std::string t = trimmed(text);
  long value = 0;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || error != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

}  // namespace

bool is_switched_on(const std::string& value) {
  const auto number = whole_number(value);
  return number && *number != 0;
}

SignatureOptions read_signature_options(const Edit& edit) {
  SignatureOptions options;
  options.pades = is_switched_on(edit.pades.empty() ? setting("pades") : edit.pades);
  options.ltv = is_switched_on(edit.ltv.empty() ? setting("ltv") : edit.ltv);
  const auto timeout = whole_number(setting("tsatimeout"));
  options.fetch_timeout_seconds = timeout && *timeout >= 1 ? *timeout : kDefaultTsaTimeoutSeconds;

  const std::string url = trimmed(edit.tsaurl.empty() ? setting("tsaurl") : edit.tsaurl);
  if (url.empty()) return options;
  timestamp::TsaSettings tsa;
  tsa.url = url;
  tsa.user = setting("tsauser");
  tsa.timeout_seconds = options.fetch_timeout_seconds;
  if (const char* file = std::getenv(kTsaPasswordFileVariable); file && *file) {
    auto password = timestamp::read_secret_file(file);
    if (!password) options.problem = std::string("the timestamp password file named by ") +
                                     kTsaPasswordFileVariable + " cannot be read";
    else tsa.password = std::move(*password);
  }
  options.tsa = std::move(tsa);
  return options;
}

}  // namespace corvane::component
