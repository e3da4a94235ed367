#include "signing/nss_signed_data.h"

#include <cryptohi.h>
#include <keyhi.h>
#include <pk11pub.h>
#include <prerror.h>
#include <sechash.h>
#include <secoid.h>

#include "signing/cms_message.h"
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

// What the message holds besides the digest and the signature value, read
// from the certificate (and the store, for its chain); no key is used.
std::optional<CmsSigner> cms_signer(CERTCertificate* cert, bool whole_chain, bool cades, std::string& why) {
  CmsSigner signer;
  signer.issuer.assign(cert->derIssuer.data, cert->derIssuer.data + cert->derIssuer.len);
  signer.serial.assign(cert->serialNumber.data, cert->serialNumber.data + cert->serialNumber.len);
  if (whole_chain) {
    std::unique_ptr<CERTCertificateList, decltype(&CERT_DestroyCertificateList)> chain(
        CERT_CertChainFromCert(cert, certUsageEmailSigner, PR_TRUE), &CERT_DestroyCertificateList);
    if (!chain) {
      why = nss_error("The certificate's chain cannot be read");
      return std::nullopt;
    }
    for (int i = 0; i < chain->len; ++i)
      signer.certificates.emplace_back(chain->certs[i].data, chain->certs[i].data + chain->certs[i].len);
  } else {
    signer.certificates.emplace_back(cert->derCert.data, cert->derCert.data + cert->derCert.len);
  }
  PublicKeyHandle key(CERT_ExtractPublicKey(cert));
  if (!key) {
    why = nss_error("The certificate's public key cannot be read");
    return std::nullopt;
  }
  // RSA is named by its key's algorithm (with NULL parameters), EC and DSA
  // by their SHA-256 signature algorithm (without).
  const SECOidTag algorithm = key->keyType == rsaKey ? SEC_OID_PKCS1_RSA_ENCRYPTION
                                                     : SEC_GetSignatureAlgorithmOidTag(key->keyType, SEC_OID_SHA256);
  const SECOidData* oid = SECOID_FindOIDByTag(algorithm);
  if (!oid || key->keyType == nullKey) {
    why = "The certificate's key cannot sign";
    return std::nullopt;
  }
  Bytes identifier{0x06, static_cast<std::uint8_t>(oid->oid.len)};
  identifier.insert(identifier.end(), oid->oid.data, oid->oid.data + oid->oid.len);
  if (key->keyType == rsaKey) identifier.insert(identifier.end(), {0x05, 0x00});
  signer.signature_algorithm = {0x30, static_cast<std::uint8_t>(identifier.size())};
  signer.signature_algorithm.insert(signer.signature_algorithm.end(), identifier.begin(), identifier.end());
  if (cades) {
    signer.signing_certificate_v2 =
        signing_certificate_v2(std::span<const std::uint8_t>(cert->derCert.data, cert->derCert.len));
    if (!signer.signing_certificate_v2) {
      why = "The signed attributes cannot be made";
      return std::nullopt;
    }
  }
  return signer;
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

// The longest signature value the certificate's key makes: an RSA value is
// as long as the modulus, an EC or DSA one at most the longest DER pair of
// integers below its group order. 0 when the key cannot be read.
std::size_t longest_signature_value(CERTCertificate* cert) {
  PublicKeyHandle key(CERT_ExtractPublicKey(cert));
  if (!key) return 0;
  if (key->keyType == rsaKey) return SECKEY_PublicKeyStrength(key.get());
  const std::size_t order = order_bytes(*key);
  return order > 0 ? longest_der_signature(order) : 0;
}

// The one use of the private key: the signature value over `digest` (the
// SHA-256 of the content, or of the signed attributes). EC and DSA values
// come from the token as r followed by s; CMS wants their DER SEQUENCE.
std::optional<Bytes> sign_digest(CERTCertificate* cert, const Sha256& digest, std::string& why) {
  PrivateKeyHandle key(PK11_FindKeyByAnyCert(cert, nullptr));
  if (!key) {
    why = nss_error("The certificate's private key cannot be used");
    return std::nullopt;
  }
  SECItem digest_item{siBuffer, const_cast<unsigned char*>(digest.data()), static_cast<unsigned int>(digest.size())};
  SECItem raw{siBuffer, nullptr, 0};
  if (SGN_Digest(key.get(), SEC_OID_SHA256, &raw, &digest_item) != SECSuccess) {
    why = nss_error("Signing failed");
    return std::nullopt;
  }
  const ItemHandle raw_owner(SECITEM_DupItem(&raw));
  SECITEM_FreeItem(&raw, PR_FALSE);
  if (!raw_owner) return std::nullopt;
  if (key->keyType != ecKey && key->keyType != dsaKey) return Bytes(raw_owner->data, raw_owner->data + raw_owner->len);
  SECItem der{siBuffer, nullptr, 0};
  if (DSAU_EncodeDerSigWithLen(&der, raw_owner.get(), raw_owner->len) != SECSuccess) {
    why = nss_error("The signature cannot be written as DER");
    return std::nullopt;
  }
  Bytes out(der.data, der.data + der.len);
  SECITEM_FreeItem(&der, PR_FALSE);
  return out;
}

Sha256 sha256_of(std::span<const std::uint8_t> bytes) {
  Sha256 digest{};
  HashHandle hash = start_sha256();
  if (!hash) return digest;
  update(hash.get(), bytes);
  if (auto done = finish(hash.get())) digest = *done;
  return digest;
}

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

std::optional<std::size_t> NssSignedData::LongestMessage(const Signer& signer) const {
  const auto* certificate = dynamic_cast<const NssCertificate*>(signer.Certificate().get());
  std::string ignored;
  if (!certificate || !ensure_database(ignored)) return std::nullopt;
  const std::size_t value_length = longest_signature_value(certificate->native());
  const auto cms = cms_signer(certificate->native(), signer.Options() == kIncludeWholeChain, CadesAttributes(), ignored);
  if (value_length == 0 || !cms) return std::nullopt;
  return cms_message(*cms, signed_attributes(*cms, Sha256{}), Bytes(value_length, 0)).size();
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
  const auto cms =
      cms_signer(cert, signer.Options() == kIncludeWholeChain, CadesAttributes(), error.description);
  if (!cms) return std::nullopt;
  // With signed attributes the key signs their encoding, which holds the
  // content's digest; without, the content's digest itself.
  const Bytes attributes = signed_attributes(*cms, *digest_);
  const auto value = sign_digest(cert, attributes.empty() ? *digest_ : sha256_of(attributes), error.description);
  if (!value) return std::nullopt;
  return cms_message(*cms, attributes, *value);
}

}  // namespace corvane::signing
