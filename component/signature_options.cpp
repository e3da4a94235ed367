#include "component/signature_options.h"

#include "component/edit.h"
#include "settings/setting_values.h"
#include "timestamp/authority_settings.h"

namespace corvane::component {

bool is_switched_on(const std::string& value) {
  const auto number = settings::whole_number(value);
  return number && *number != 0;
}

SignatureOptions read_signature_options(const Edit& edit) {
  SignatureOptions options;
  options.pades = is_switched_on(edit.pades.empty() ? settings::read_setting("pades") : edit.pades);
  options.ltv = is_switched_on(edit.ltv.empty() ? settings::read_setting("ltv") : edit.ltv);
  options.fetch = ltv::read_fetch_policy();
  timestamp::AuthorityChoice authority = timestamp::read_authority_settings(edit.tsaurl);
  options.tsa = std::move(authority.tsa);
  options.problem = std::move(authority.problem);
  const std::string level = edit.certifylevel.empty() ? settings::read_setting("certifylevel") : edit.certifylevel;
  if (!settings::trimmed(level).empty()) {
    const auto number = settings::whole_number(level);
    if (number && *number >= 0 && *number <= 3) options.certify_level = static_cast<int>(*number);
    else if (options.problem.empty()) options.problem = "the certification level \"" + level + "\" is not 0, 1, 2 or 3";
  }
  return options;
}

}  // namespace corvane::component
