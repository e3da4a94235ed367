#include "signing/nss_signed_data.h"

#include <cryptohi.h>
#include <prerror.h>
#include <sechash.h>
#include <secoid.h>

#include "signing/der_rewrite.h"
#include "signing/nss_certificate.h"
#include "signing/nss_database.h"
#include "signing/signing_certificate.h"
#include "signing/utf16_pieces.h"

namespace corvane::signing {
namespace {

constexpr std::size_t kPieceSize = 256 * 1024;

struct HashDeleter {
  void operator()(HASHContext* p) const { HASH_Destroy(p); }
};
using HashHandle = std::unique_ptr<HASHContext, HashDeleter>;

HashHandle start_sha256() {
  std::string ignored;
  if (!ensure_database(ignored)) return nullptr;
  HashHandle hash(HASH_Create(HASH_AlgSHA256));
  if (hash) HASH_Begin(hash.get());
  return hash;
}

std::optional<std::array<std::uint8_t, 32>> finish(HASHContext* hash) {
  std::array<std::uint8_t, 32> digest{};
  unsigned int length = 0;
  HASH_End(hash, digest.data(), &length, digest.size());
  if (length != digest.size()) return std::nullopt;
  return digest;
}

void update(HASHContext* hash, std::span<const std::uint8_t> bytes) {
  // HASH_Update takes an unsigned int length: feed large contents in parts.
  while (!bytes.empty()) {
    const std::size_t n = std::min<std::size_t>(bytes.size(), 1u << 30);
    HASH_Update(hash, bytes.data(), static_cast<unsigned int>(n));
    bytes = bytes.subspan(n);
  }
}

std::string nss_error(const std::string& what) {
  const char* text = PR_ErrorToString(PR_GetError(), PR_LANGUAGE_I_DEFAULT);
  return text && *text ? what + ": " + text : what;
}

// DSA and EC signatures come from the token as r followed by s; CMS wants
// the DER SEQUENCE of both.
Bytes der_dsa_signature(std::span<const std::uint8_t> raw) {
  if (is_der_dsa_signature(raw)) return Bytes(raw.begin(), raw.end());
  SECItem source{siBuffer, const_cast<unsigned char*>(raw.data()), static_cast<unsigned int>(raw.size())};
  SECItem der{siBuffer, nullptr, 0};
  if (DSAU_EncodeDerSigWithLen(&der, &source, source.len) != SECSuccess) return Bytes(raw.begin(), raw.end());
  Bytes out(der.data, der.data + der.len);
  SECITEM_FreeItem(&der, PR_FALSE);
  return out;
}

// Makes signing-certificate-v2 for `cert` the signer's one signed attribute
// so far. When the message is encoded, NSS adds content-type and
// message-digest to a signer info that has signed attributes, and the key
// signs their DER encoding. (NSS exports no function that adds an
// attribute of any type: the array is set directly, in the message's arena,
// where NSS grows it.)
bool add_signing_certificate(NSSCMSMessage* message, NSSCMSSignerInfo* signer_info, CERTCertificate* cert) {
  const auto value = signing_certificate_v2(std::span<const std::uint8_t>(cert->derCert.data, cert->derCert.len));
  if (!value || signer_info->authAttr) return false;
  PLArenaPool* arena = message->poolp;
  auto* attribute = PORT_ArenaZNew(arena, NSSCMSAttribute);
  auto** values = PORT_ArenaZNewArray(arena, SECItem*, 2);
  auto** attributes = PORT_ArenaZNewArray(arena, NSSCMSAttribute*, 2);
  SECItem* encoded = SECITEM_AllocItem(arena, nullptr, static_cast<unsigned int>(value->size()));
  if (!attribute || !values || !attributes || !encoded) return false;
  std::copy(value->begin(), value->end(), encoded->data);
  values[0] = encoded;
  attribute->type = SECItem{siDEROID, const_cast<unsigned char*>(kSigningCertificateV2Oid),
                            static_cast<unsigned int>(sizeof kSigningCertificateV2Oid)};
  attribute->values = values;
  attribute->encoded = PR_TRUE;
  attributes[0] = attribute;
  signer_info->authAttr = attributes;
  return true;
}

// Length octets of a DER length.
std::size_t length_octets(std::size_t length) {
  std::size_t n = 1;
  if (length >= 0x80)
    for (; length; length >>= 8) ++n;
  return n;
}

// The longest DER SEQUENCE of two INTEGERs below a group order of
// `order_bytes` bytes: each may need a leading zero byte.
std::size_t longest_der_signature(std::size_t order_bytes) {
  const std::size_t integer = order_bytes + 1;
  const std::size_t both = 2 * (1 + length_octets(integer) + integer);
  return 1 + length_octets(both) + both;
}

// Bytes of the group order of an EC or DSA key; 0 for other keys.
std::size_t order_bytes(const SECKEYPublicKey& key) {
  if (key.keyType == ecKey) return (SECKEY_PublicKeyStrengthInBits(&key) + 7) / 8;
  if (key.keyType != dsaKey) return 0;
  const SECItem& q = key.u.dsa.params.subPrime;
  std::size_t skip = 0;
  while (skip < q.len && q.data[skip] == 0) ++skip;
  return q.len - skip;
}

// The length fields around a signature value that may each gain an octet
// when it grows: OCTET STRING, SignerInfo, SET OF SignerInfo, SignedData,
// [0] and ContentInfo.
constexpr std::size_t kEnclosingLengths = 6;

}  // namespace

bool NssSignedData::SetContent(std::span<const std::uint8_t> bytes) {
  digest_.reset();
  HashHandle hash = start_sha256();
  if (!hash) return false;
  update(hash.get(), bytes);
  digest_ = finish(hash.get());
  return digest_.has_value();
}

bool NssSignedData::SetContentPieces(std::span<const std::span<const std::uint8_t>> pieces) {
  digest_.reset();
  HashHandle hash = start_sha256();
  if (!hash) return false;
  for (const auto piece : pieces) update(hash.get(), piece);
  digest_ = finish(hash.get());
  return digest_.has_value();
}

bool NssSignedData::SetContentFeed(const ContentFeed& feed) {
  digest_.reset();
  HashHandle hash = start_sha256();
  if (!hash) return false;
  if (!feed([&hash](std::span<const std::uint8_t> piece) { update(hash.get(), piece); })) return false;
  digest_ = finish(hash.get());
  return digest_.has_value();
}

bool NssSignedData::SetContent(std::string_view text, platform::TextEncoding encoding) {
  digest_.reset();
  HashHandle hash = start_sha256();
  if (!hash) return false;
  for_each_utf16le_piece(text, encoding, kPieceSize, [&hash](std::string_view piece) {
    update(hash.get(), std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
  });
  digest_ = finish(hash.get());
  return digest_.has_value();
}

std::optional<platform::ByteArray> NssSignedData::Sign(const Signer& signer, bool detached, int encoding,
                                                       platform::CallError& error) {
  const auto* certificate = dynamic_cast<const NssCertificate*>(signer.Certificate().get());
  if (!certificate) {
    error.description = "The signer has no certificate of the store";
    return std::nullopt;
  }
  if (!digest_) {
    error.description = "No content has been set to sign";
    return std::nullopt;
  }
  if (!detached || encoding != kBinaryEncoding) {
    error.description = "Only detached signatures in binary encoding can be made";
    return std::nullopt;
  }
  CERTCertificate* cert = certificate->native();

  CmsMessageHandle message(NSS_CMSMessage_Create(nullptr));
  if (!message) {
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }
  NSSCMSSignedData* signed_data = NSS_CMSSignedData_Create(message.get());
  if (!signed_data) {
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }
  if (NSS_CMSContentInfo_SetContent_SignedData(message.get(), NSS_CMSMessage_GetContentInfo(message.get()),
                                               signed_data) != SECSuccess) {
    NSS_CMSSignedData_Destroy(signed_data);
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }
  // From here the message owns everything it was given.
  if (NSS_CMSContentInfo_SetContent_Data(message.get(), NSS_CMSSignedData_GetContentInfo(signed_data), nullptr,
                                         /*detached=*/PR_TRUE) != SECSuccess) {
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }
  NSSCMSSignerInfo* signer_info = NSS_CMSSignerInfo_Create(message.get(), cert, SEC_OID_SHA256);
  if (!signer_info) {
    error.description = nss_error("The certificate's private key cannot be used");
    return std::nullopt;
  }
  const NSSCMSCertChainMode chain =
      signer.Options() == kIncludeWholeChain ? NSSCMSCM_CertChainWithRoot : NSSCMSCM_CertOnly;
  if (NSS_CMSSignerInfo_IncludeCerts(signer_info, chain, certUsageEmailSigner) != SECSuccess ||
      NSS_CMSSignedData_AddSignerInfo(signed_data, signer_info) != SECSuccess) {
    NSS_CMSSignerInfo_Destroy(signer_info);
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }
  if (CadesAttributes() && !add_signing_certificate(message.get(), signer_info, cert)) {
    error.description = nss_error("The signed attributes cannot be made");
    return std::nullopt;
  }
  SECItem digest{siBuffer, digest_->data(), static_cast<unsigned int>(digest_->size())};
  if (NSS_CMSSignedData_SetDigestValue(signed_data, SEC_OID_SHA256, &digest) != SECSuccess) {
    error.description = nss_error("The signature cannot be made");
    return std::nullopt;
  }

  ArenaHandle arena(PORT_NewArena(DER_DEFAULT_CHUNKSIZE));
  SECItem ber{siBuffer, nullptr, 0};
  if (!arena || NSS_CMSDEREncode(message.get(), nullptr, &ber, arena.get()) != SECSuccess || !ber.data) {
    error.description = nss_error("Signing failed");
    return std::nullopt;
  }
  PublicKeyHandle public_key(CERT_ExtractPublicKey(cert));
  const std::size_t order = public_key ? order_bytes(*public_key) : 0;
  std::size_t signature_length = 0;
  SignatureFix fix;
  if (order > 0) {
    fix = [&signature_length](std::span<const std::uint8_t> raw) {
      Bytes der = der_dsa_signature(raw);
      signature_length = der.size();
      return der;
    };
  }
  auto der = signed_data_to_der(std::span<const std::uint8_t>(ber.data, ber.len), fix);
  if (!der) {
    error.description = "The signature cannot be written as DER";
    return std::nullopt;
  }
  const std::size_t longest = longest_der_signature(order);
  headroom_ = order > 0 && signature_length <= longest ? longest - signature_length + kEnclosingLengths : 0;
  return std::move(*der);
}

}  // namespace corvane::signing
