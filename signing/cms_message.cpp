#include "signing/cms_message.h"

#include <algorithm>

#include "signing/signing_certificate.h"

namespace corvane::signing {
namespace {

constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kOid = 0x06;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kSet = 0x31;
constexpr std::uint8_t kContext0 = 0xA0;  // [0], constructed

// Contents octets of the object identifiers the message names.
constexpr std::uint8_t kSignedDataOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x02};
constexpr std::uint8_t kDataOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x01};
constexpr std::uint8_t kContentTypeOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x09, 0x03};
constexpr std::uint8_t kMessageDigestOid[] = {0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x09, 0x04};
// SHA-256 with NULL parameters.
constexpr std::uint8_t kSha256Algorithm[] = {0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01, 0x65,
                                             0x03, 0x04, 0x02, 0x01, 0x05, 0x00};

using Span = std::span<const std::uint8_t>;

void append(Bytes& out, Span bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// Tag, minimal definite length, contents.
Bytes tlv(std::uint8_t tag, Span contents) {
  Bytes out{tag};
  const std::size_t length = contents.size();
  if (length < 0x80) {
    out.push_back(static_cast<std::uint8_t>(length));
  } else {
    std::uint8_t octets[sizeof(std::size_t)];
    std::size_t n = 0;
    for (std::size_t rest = length; rest; rest >>= 8) octets[n++] = static_cast<std::uint8_t>(rest & 0xff);
    out.push_back(static_cast<std::uint8_t>(0x80 | n));
    while (n) out.push_back(octets[--n]);
  }
  append(out, contents);
  return out;
}

Bytes concatenation(std::initializer_list<Span> parts) {
  Bytes out;
  for (const Span part : parts) append(out, part);
  return out;
}

// A SET OF's members in the order of their encodings.
Bytes sorted(std::vector<Bytes> members) {
  std::sort(members.begin(), members.end());
  Bytes out;
  for (const Bytes& member : members) append(out, member);
  return out;
}

Bytes attribute(Span oid, Span value) {
  return tlv(kSequence, concatenation({tlv(kOid, oid), tlv(kSet, value)}));
}

// The members of the signed attributes.
std::vector<Bytes> attribute_list(const CmsSigner& signer, const Sha256& digest) {
  return {attribute(kContentTypeOid, tlv(kOid, kDataOid)), attribute(kMessageDigestOid, tlv(kOctetString, digest)),
          attribute(kSigningCertificateV2Oid, *signer.signing_certificate_v2)};
}

Bytes signer_info(const CmsSigner& signer, Span attributes, Span signature) {
  const std::uint8_t version[] = {kInteger, 0x01, 0x01};
  Bytes implicit_attributes(attributes.begin(), attributes.end());
  if (!implicit_attributes.empty()) implicit_attributes[0] = kContext0;
  return tlv(kSequence, concatenation({version, tlv(kSequence, concatenation({signer.issuer, tlv(kInteger, signer.serial)})),
                                       kSha256Algorithm, implicit_attributes, signer.signature_algorithm,
                                       tlv(kOctetString, signature)}));
}

}  // namespace

Bytes signed_attributes(const CmsSigner& signer, const Sha256& digest) {
  if (!signer.signing_certificate_v2) return {};
  return tlv(kSet, sorted(attribute_list(signer, digest)));
}

Bytes cms_message(const CmsSigner& signer, Span attributes, Span signature) {
  const std::uint8_t version[] = {kInteger, 0x01, 0x01};
  const Bytes signed_data = tlv(
      kSequence, concatenation({version, tlv(kSet, kSha256Algorithm), tlv(kSequence, tlv(kOid, kDataOid)),
                                tlv(kContext0, sorted(signer.certificates)),
                                tlv(kSet, signer_info(signer, attributes, signature))}));
  return tlv(kSequence, concatenation({tlv(kOid, kSignedDataOid), tlv(kContext0, signed_data)}));
}

std::size_t longest_der_signature(std::size_t order_bytes) {
  const Bytes integer(order_bytes + 1, 0);
  const Bytes both = concatenation({tlv(kInteger, integer), tlv(kInteger, integer)});
  return tlv(kSequence, both).size();
}

}  // namespace corvane::signing
