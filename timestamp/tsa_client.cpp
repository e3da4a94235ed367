#include "timestamp/tsa_client.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/rand.h>
#include <openssl/ts.h>
#include <openssl/x509v3.h>

#include <memory>

#include "settings/log.h"
#include "timestamp/http_post.h"
#include "platform/openssl_handle.h"
#include "timestamp/token_store.h"

namespace corvane::timestamp {

using platform::OpensslHandle;
namespace {

using TsReq = OpensslHandle<TS_REQ, TS_REQ_free>;
using TsResp = OpensslHandle<TS_RESP, TS_RESP_free>;
using TsVerify = OpensslHandle<TS_VERIFY_CTX, TS_VERIFY_CTX_free>;
using Asn1Integer = OpensslHandle<ASN1_INTEGER, ASN1_INTEGER_free>;

constexpr int kNonceBytes = 8;

// A positive random 64-bit nonce.
Asn1Integer make_nonce() {
  unsigned char bytes[kNonceBytes];
  if (RAND_bytes(bytes, sizeof bytes) != 1) return nullptr;
  std::unique_ptr<BIGNUM, decltype(&BN_free)> number(BN_bin2bn(bytes, sizeof bytes, nullptr), &BN_free);
  return Asn1Integer(number ? BN_to_ASN1_INTEGER(number.get(), nullptr) : nullptr);
}

// The failure text of a TS_RESP that does not hold: the authority's status
// text when it refused, else OpenSSL's reason.
std::string answer_problem(TS_RESP* response) {
  TS_STATUS_INFO* info = TS_RESP_get_status_info(response);
  const long status = info ? ASN1_INTEGER_get(TS_STATUS_INFO_get0_status(info)) : -1;
  if (status != 0 && status != 1) {
    static const char* const kStatus[] = {"granted", "granted with modifications", "rejection", "waiting",
                                          "revocation warning", "revocation notification"};
    std::string text = status >= 0 && status <= 5 ? kStatus[status] : "status " + std::to_string(status);
    return "the timestamp authority answered \"" + text + "\"";
  }
  const unsigned long code = ERR_peek_last_error();
  char reason[256] = "";
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  return std::string("the timestamp token does not hold") + (*reason ? std::string(" (") + reason + ")" : "");
}

// Status, version, imprint, nonce and signature of the answer; "" when they
// hold.
std::string check_answer(TS_REQ* request, TS_RESP* response) {
  TsVerify context(TS_REQ_to_TS_VERIFY_CTX(request, nullptr));
  PKCS7* token = TS_RESP_get_token(response);
  if (!context) return "the answer cannot be checked";
  if (token) {
    X509_STORE* store = internal::store_of_token_certificates(token);
    if (!store) return "the answer cannot be checked";
    TS_VERIFY_CTX_set_store(context.get(), store);  // owned by the context
  }
  TS_VERIFY_CTX_set_flags(context.get(), TS_VFY_VERSION | TS_VFY_IMPRINT | TS_VFY_NONCE | TS_VFY_SIGNATURE |
                                             TS_VFY_SIGNER);
  ERR_clear_error();
  if (TS_RESP_verify_response(context.get(), response) != 1) return answer_problem(response);
  return {};
}

TsReq make_request(const Sha256& imprint) {
  TsReq request(TS_REQ_new());
  OpensslHandle<TS_MSG_IMPRINT, TS_MSG_IMPRINT_free> message(TS_MSG_IMPRINT_new());
  OpensslHandle<X509_ALGOR, X509_ALGOR_free> algorithm(X509_ALGOR_new());
  const Asn1Integer nonce = make_nonce();
  if (!request || !message || !algorithm || !nonce) return nullptr;
  X509_ALGOR_set_md(algorithm.get(), EVP_sha256());
  if (!TS_REQ_set_version(request.get(), 1) || !TS_MSG_IMPRINT_set_algo(message.get(), algorithm.get()) ||
      !TS_MSG_IMPRINT_set_msg(message.get(), const_cast<unsigned char*>(imprint.data()),
                              static_cast<int>(imprint.size())) ||
      !TS_REQ_set_msg_imprint(request.get(), message.get()) || !TS_REQ_set_nonce(request.get(), nonce.get()) ||
      !TS_REQ_set_cert_req(request.get(), 1))
    return nullptr;
  return request;
}

template <class T, int (*Encode)(const T*, unsigned char**)>
std::vector<std::uint8_t> der_of(const T* object) {
  const int length = Encode(object, nullptr);
  if (length <= 0) return {};
  std::vector<std::uint8_t> der(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  if (Encode(object, &out) != length) return {};
  return der;
}

TokenReply refused(const TsaSettings& settings, long status, std::string why) {
  settings::log_line("timestamp authority " + settings.url + ": HTTP " + std::to_string(status) + ", " + why);
  return TokenReply{{}, {platform::ErrorCode::kTimestampAuthority, "timestamp from " + settings.url + " failed: " + why}};
}

}  // namespace

TokenReply request_token(const TsaSettings& settings, const Sha256& imprint) {
  const TsReq request = make_request(imprint);
  std::vector<std::uint8_t> body = request ? der_of<TS_REQ, i2d_TS_REQ>(request.get()) : std::vector<std::uint8_t>{};
  if (body.empty()) return refused(settings, 0, "no request could be made");

  HttpRequest post{settings.url, "application/timestamp-query", std::move(body), settings.user, settings.password,
                   settings.timeout_seconds};
  const HttpAnswer answer = http_post(post);
  if (!answer.error.empty()) return refused(settings, answer.status, answer.error);
  if (answer.status != 200) return refused(settings, answer.status, "HTTP status " + std::to_string(answer.status));

  const unsigned char* in = answer.body.data();
  const TsResp response(d2i_TS_RESP(nullptr, &in, static_cast<long>(answer.body.size())));
  if (!response || in != answer.body.data() + answer.body.size())
    return refused(settings, answer.status, "the answer is not a timestamp response");
  if (std::string problem = check_answer(request.get(), response.get()); !problem.empty())
    return refused(settings, answer.status, problem);

  TokenReply reply;
  reply.token = der_of<PKCS7, i2d_PKCS7>(TS_RESP_get_token(response.get()));
  if (reply.token.empty()) return refused(settings, answer.status, "the token cannot be read");
  settings::log_line("timestamp authority " + settings.url + ": HTTP " + std::to_string(answer.status) +
                     ", token of " + std::to_string(reply.token.size()) + " bytes");
  return reply;
}

}  // namespace corvane::timestamp
