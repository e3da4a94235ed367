#include "timestamp/signature_timestamp.h"

#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <memory>

namespace corvane::timestamp {
namespace {

using ContentInfo = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

// Tag, length and OID of the attribute, and the SET around its one value:
// what a token adds to a signature beyond its own bytes (with long lengths).
constexpr std::size_t kAttributeOverhead = 32;

ContentInfo read_cms(std::span<const std::uint8_t> der) {
  const unsigned char* in = der.data();
  ContentInfo cms(d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(der.size())), &CMS_ContentInfo_free);
  if (cms && in != der.data() + der.size()) cms.reset();
  return cms;
}

bool sha256(const unsigned char* data, std::size_t size, Sha256& out) {
  unsigned int length = 0;
  return EVP_Digest(data, size, out.data(), &length, EVP_sha256(), nullptr) == 1 && length == out.size();
}

platform::Refusal authority_refusal(std::string why) {
  return {platform::ErrorCode::kTimestampAuthority, std::move(why)};
}

StampedSignature failed(std::string why) { return StampedSignature{{}, authority_refusal(std::move(why))}; }

}  // namespace

TokenRoom measure_token_room(const TsaSettings& settings) {
  Sha256 imprint{};
  if (!sha256(reinterpret_cast<const unsigned char*>("sizing"), 6, imprint))
    return TokenRoom{0, authority_refusal("no digest for a sizing timestamp")};
  TokenReply reply = request_token(settings, imprint);
  if (!reply.refusal.empty()) return TokenRoom{0, std::move(reply.refusal)};
  return TokenRoom{reply.token.size() + kAttributeOverhead + kTokenMargin, {}};
}

StampedSignature stamp_signature(const TsaSettings& settings, std::span<const std::uint8_t> cms_der) {
  const ContentInfo cms = read_cms(cms_der);
  STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
  CMS_SignerInfo* signer = signers && sk_CMS_SignerInfo_num(signers) > 0 ? sk_CMS_SignerInfo_value(signers, 0) : nullptr;
  ASN1_OCTET_STRING* value = signer ? CMS_SignerInfo_get0_signature(signer) : nullptr;
  if (!value) return failed("the signature to timestamp cannot be read");

  Sha256 imprint{};
  if (!sha256(ASN1_STRING_get0_data(value), static_cast<std::size_t>(ASN1_STRING_length(value)), imprint))
    return failed("no digest of the signature value");
  TokenReply reply = request_token(settings, imprint);
  if (!reply.refusal.empty()) return StampedSignature{{}, std::move(reply.refusal)};

  // The value is the token's DER as it came: a SEQUENCE is stored whole.
  if (CMS_unsigned_add1_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, V_ASN1_SEQUENCE, reply.token.data(),
                                    static_cast<int>(reply.token.size())) != 1)
    return failed("the timestamp token cannot be added to the signature");
  const int length = i2d_CMS_ContentInfo(cms.get(), nullptr);
  if (length <= 0) return failed("the timestamped signature cannot be written");
  StampedSignature result;
  result.signature.resize(static_cast<std::size_t>(length));
  unsigned char* out = result.signature.data();
  if (i2d_CMS_ContentInfo(cms.get(), &out) != length) return failed("the timestamped signature cannot be written");
  return result;
}

}  // namespace corvane::timestamp
