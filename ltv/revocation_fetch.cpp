#include "ltv/revocation_fetch.h"

#include <openssl/crypto.h>
#include <openssl/ocsp.h>
#include <openssl/x509v3.h>

#include <string_view>

#include "settings/log.h"
#include "timestamp/http_post.h"
#include "platform/openssl_handle.h"

namespace corvane::ltv {
namespace {

using platform::OpensslHandle;

// Seconds an OCSP answer's times may be off the local clock.
constexpr long kClockSkewSeconds = 300;
constexpr long kSecondsPerDay = 24 * 60 * 60;

void free_strings(STACK_OF(OPENSSL_STRING)* strings) { X509_email_free(strings); }
void free_certificates(STACK_OF(X509)* certs) { sk_X509_free(certs); }  // the certificates stay the caller's
void free_points(STACK_OF(DIST_POINT)* points) { sk_DIST_POINT_pop_free(points, DIST_POINT_free); }

bool is_http(std::string_view url) { return url.starts_with("http://") || url.starts_with("https://"); }

void free_text(char* text) { OPENSSL_free(text); }

// The first http(s) OCSP responder the certificate names; "" for none.
std::string ocsp_url(X509* cert) {
  OpensslHandle<STACK_OF(OPENSSL_STRING), free_strings> urls(X509_get1_ocsp(cert));
  for (int i = 0; urls && i < sk_OPENSSL_STRING_num(urls.get()); ++i)
    if (is_http(sk_OPENSSL_STRING_value(urls.get(), i))) return sk_OPENSSL_STRING_value(urls.get(), i);
  return {};
}

// The first http(s) full name of the certificate's CRL distribution points;
// "" for none.
std::string crl_url(X509* cert) {
  OpensslHandle<STACK_OF(DIST_POINT), free_points> points(
      static_cast<STACK_OF(DIST_POINT)*>(X509_get_ext_d2i(cert, NID_crl_distribution_points, nullptr, nullptr)));
  for (int i = 0; points && i < sk_DIST_POINT_num(points.get()); ++i) {
    const DIST_POINT_NAME* name = sk_DIST_POINT_value(points.get(), i)->distpoint;
    if (!name || name->type != 0) continue;
    for (int j = 0; j < sk_GENERAL_NAME_num(name->name.fullname); ++j) {
      const GENERAL_NAME* general = sk_GENERAL_NAME_value(name->name.fullname, j);
      if (general->type != GEN_URI) continue;
      const ASN1_IA5STRING* uri = general->d.uniformResourceIdentifier;
      const std::string url(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                            static_cast<std::size_t>(ASN1_STRING_length(uri)));
      if (is_http(url)) return url;
    }
  }
  return {};
}

RevocationData refused(const std::string& what, const std::string& url, long status, const std::string& why) {
  settings::log_line("validation data: " + what + " " + url + ": HTTP " + std::to_string(status) + ", " + why);
  RevocationData data;
  data.refusal = "validation data from " + url + " failed: " + why;
  return data;
}

// The answer of one exchange, or the reason it is not usable.
struct Exchange {
  timestamp::HttpAnswer answer;
  std::string problem;
};

Exchange exchange(const timestamp::HttpRequest& request, bool post) {
  Exchange e{post ? timestamp::http_post(request) : timestamp::http_get(request), {}};
  if (!e.answer.error.empty()) e.problem = e.answer.error;
  else if (e.answer.status != 200) e.problem = "HTTP status " + std::to_string(e.answer.status);
  else if (e.answer.body.empty()) e.problem = "the answer is empty";
  return e;
}

// Whether `signer` may sign OCSP answers for certificates of `issuer`: the
// issuer itself, or a certificate it issued for OCSP signing.
bool authorized_responder(X509* signer, X509* issuer) {
  if (X509_cmp(signer, issuer) == 0) return true;
  return X509_check_issued(issuer, signer) == X509_V_OK && X509_verify(signer, X509_get0_pubkey(issuer)) == 1 &&
         (X509_get_extended_key_usage(signer) & XKU_OCSP_SIGN) != 0;
}

// What is wrong with the OCSP answer `response` to `request` for `id`; ""
// when it holds. `state` is set to the certificate's status.
std::string ocsp_problem(OCSP_REQUEST* request, OCSP_RESPONSE* response, OCSP_CERTID* id, X509* issuer,
                         long max_age_days, int& state) {
  const int status = OCSP_response_status(response);
  if (status != OCSP_RESPONSE_STATUS_SUCCESSFUL)
    return std::string("the responder answered \"") + OCSP_response_status_str(status) + "\"";
  OpensslHandle<OCSP_BASICRESP, OCSP_BASICRESP_free> basic(OCSP_response_get1_basic(response));
  if (!basic) return "the answer holds no basic response";
  // 0: the answer holds another nonce than the request. Without one (-1)
  // it is an answer signed in advance, which its times bound below.
  if (OCSP_check_nonce(request, basic.get()) == 0) return "the answer's nonce is not the request's";

  OpensslHandle<STACK_OF(X509), free_certificates> extra(sk_X509_new_null());
  if (!extra || !sk_X509_push(extra.get(), issuer)) return "the answer cannot be checked";
  X509* signer = nullptr;
  if (OCSP_resp_get0_signer(basic.get(), &signer, extra.get()) != 1 || !signer)
    return "the answer's signer is not among its certificates";
  // The signature only: whom the signer may answer for is checked below.
  OpensslHandle<X509_STORE, X509_STORE_free> no_trust(X509_STORE_new());
  if (!no_trust || OCSP_basic_verify(basic.get(), extra.get(), no_trust.get(), OCSP_NOVERIFY) != 1)
    return "the answer's signature does not verify";
  if (!authorized_responder(signer, issuer)) return "the answer is signed by " + name_of(signer) +
                                                    ", neither the issuer nor its OCSP responder";

  int reason = 0;
  ASN1_GENERALIZEDTIME *revoked_at = nullptr, *this_update = nullptr, *next_update = nullptr;
  if (OCSP_resp_find_status(basic.get(), id, &state, &reason, &revoked_at, &this_update, &next_update) != 1)
    return "the answer holds no status for the certificate";
  if (OCSP_check_validity(this_update, next_update, kClockSkewSeconds, -1) != 1) return "the answer is not current";
  if (OCSP_check_validity(this_update, next_update, kClockSkewSeconds, max_age_days * kSecondsPerDay) != 1)
    return "the answer was made more than " + std::to_string(max_age_days) + " days ago (ltvmaxage)";
  if (state == V_OCSP_CERTSTATUS_UNKNOWN) return "the responder does not know the certificate";
  return {};
}

RevocationData fetch_ocsp(X509* cert, X509* issuer, const std::string& url, const FetchPolicy& policy) {
  OpensslHandle<OCSP_REQUEST, OCSP_REQUEST_free> request(OCSP_REQUEST_new());
  OpensslHandle<OCSP_CERTID, OCSP_CERTID_free> id(OCSP_cert_to_id(nullptr, cert, issuer));
  OCSP_CERTID* asked = id ? OCSP_CERTID_dup(id.get()) : nullptr;
  if (!request || !asked || !OCSP_request_add0_id(request.get(), asked)) {
    OCSP_CERTID_free(asked);
    return refused("OCSP", url, 0, "no request could be made");
  }
  unsigned char* der = nullptr;
  const int length = OCSP_request_add1_nonce(request.get(), nullptr, -1) ? i2d_OCSP_REQUEST(request.get(), &der) : -1;
  if (length <= 0) return refused("OCSP", url, 0, "no request could be made");
  timestamp::HttpRequest post{url, "application/ocsp-request", std::vector<std::uint8_t>(der, der + length), "", "",
                              policy.timeout_seconds};
  OPENSSL_free(der);

  Exchange e = exchange(post, /*post=*/true);
  if (!e.problem.empty()) return refused("OCSP", url, e.answer.status, e.problem);
  const unsigned char* in = e.answer.body.data();
  OpensslHandle<OCSP_RESPONSE, OCSP_RESPONSE_free> response(
      d2i_OCSP_RESPONSE(nullptr, &in, static_cast<long>(e.answer.body.size())));
  if (!response || in != e.answer.body.data() + e.answer.body.size())
    return refused("OCSP", url, e.answer.status, "the answer is not an OCSP response");
  int state = V_OCSP_CERTSTATUS_UNKNOWN;
  if (std::string problem =
          ocsp_problem(request.get(), response.get(), id.get(), issuer, policy.ocsp_max_age_days, state);
      !problem.empty())
    return refused("OCSP", url, e.answer.status, problem);

  settings::log_line("validation data: OCSP " + url + ": HTTP 200, " + name_of(cert) + " is " +
                     OCSP_cert_status_str(state));
  return RevocationData{RevocationData::Kind::kOcsp, std::move(e.answer.body), {},
                        state == V_OCSP_CERTSTATUS_REVOKED, url};
}

RevocationData fetch_crl(X509* cert, X509* issuer, const std::string& url, long timeout_seconds) {
  Exchange e = exchange(timestamp::HttpRequest{url, "", {}, "", "", timeout_seconds}, /*post=*/false);
  if (!e.problem.empty()) return refused("CRL", url, e.answer.status, e.problem);
  const unsigned char* in = e.answer.body.data();
  OpensslHandle<X509_CRL, X509_CRL_free> crl(d2i_X509_CRL(nullptr, &in, static_cast<long>(e.answer.body.size())));
  if (!crl || in != e.answer.body.data() + e.answer.body.size())
    return refused("CRL", url, e.answer.status, "the answer is not a CRL");
  if (X509_NAME_cmp(X509_CRL_get_issuer(crl.get()), X509_get_subject_name(issuer)) != 0)
    return refused("CRL", url, e.answer.status, "the CRL is not of " + name_of(issuer));
  if (X509_CRL_verify(crl.get(), X509_get0_pubkey(issuer)) != 1)
    return refused("CRL", url, e.answer.status, "the CRL's signature does not verify with its issuer's key");
  const ASN1_TIME* next_update = X509_CRL_get0_nextUpdate(crl.get());
  if (next_update && X509_cmp_current_time(next_update) < 0)
    return refused("CRL", url, e.answer.status, "the CRL is out of date");

  X509_REVOKED* entry = nullptr;
  const bool revoked = X509_CRL_get0_by_cert(crl.get(), &entry, cert) == 1;
  settings::log_line("validation data: CRL " + url + ": HTTP 200, " + name_of(cert) + " is " +
                     (revoked ? "revoked" : "good"));
  return RevocationData{RevocationData::Kind::kCrl, std::move(e.answer.body), {}, revoked, url};
}

}  // namespace

std::string name_of(X509* cert) {
  OpensslHandle<char, free_text> text(X509_NAME_oneline(X509_get_subject_name(cert), nullptr, 0));
  return text ? text.get() : "?";
}

RevocationData fetch_revocation_data(X509* cert, X509* issuer, const FetchPolicy& policy) {
  const std::string ocsp = ocsp_url(cert), crl = crl_url(cert);
  if (!ocsp.empty()) {
    RevocationData answer = fetch_ocsp(cert, issuer, ocsp, policy);
    if (answer.refusal.empty() || crl.empty()) return answer;
    // A responder that fails (down, slow, "tryLater", an old or unusable
    // answer) leaves the CRL, which serves as well.
    settings::log_line("validation data: the CRL of " + name_of(cert) + " instead");
    RevocationData list = fetch_crl(cert, issuer, crl, policy.timeout_seconds);
    if (!list.refusal.empty()) list.refusal = answer.refusal + "; " + list.refusal;
    return list;
  }
  if (!crl.empty()) return fetch_crl(cert, issuer, crl, policy.timeout_seconds);
  RevocationData data;
  data.refusal = "no validation data for " + name_of(cert) + ": it names no OCSP responder and no CRL over HTTP";
  return data;
}

}  // namespace corvane::ltv
