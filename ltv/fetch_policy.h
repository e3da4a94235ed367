// How validation data is fetched: how long each server may take to answer
// and how old an OCSP answer may be, read from the pdf key's settings.
#pragma once

namespace corvane::ltv {

// Days an OCSP answer's thisUpdate may lie in the past when `ltvmaxage` is
// not set.
inline constexpr long kDefaultOcspMaxAgeDays = 7;

struct FetchPolicy {
  // Seconds each OCSP responder and CRL server has for its answer.
  long timeout_seconds = 10;
  // An OCSP answer made longer ago than this is not used (the CRL is asked
  // instead, where the certificate names one).
  long ocsp_max_age_days = kDefaultOcspMaxAgeDays;
};

// `tsatimeout` and `ltvmaxage` (whole days, 1 or more), each else its
// default, read like the other values of the pdf key (user key, then
// machine key).
[[nodiscard]] FetchPolicy read_fetch_policy();

}  // namespace corvane::ltv
