#include "ltv/fetch_policy.h"

#include "settings/setting_values.h"
#include "timestamp/authority_settings.h"

namespace corvane::ltv {

FetchPolicy read_fetch_policy() {
  FetchPolicy policy;
  policy.timeout_seconds = timestamp::read_timeout_seconds();
  const auto days = settings::whole_number(settings::read_setting("ltvmaxage"));
  if (days && *days >= 1) policy.ocsp_max_age_days = *days;
  return policy;
}

}  // namespace corvane::ltv
