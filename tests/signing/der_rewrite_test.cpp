#include "signing/der_rewrite.h"

#include <gtest/gtest.h>

namespace corvane::signing {
namespace {

Bytes b(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A definite-length TLV with a one-byte tag.
Bytes tlv(int tag, const Bytes& content) {
  Bytes out{static_cast<std::uint8_t>(tag)};
  if (content.size() < 128) {
    out.push_back(static_cast<std::uint8_t>(content.size()));
  } else if (content.size() < 256) {
    out.push_back(0x81);
    out.push_back(static_cast<std::uint8_t>(content.size()));
  } else {
    out.push_back(0x82);
    out.push_back(static_cast<std::uint8_t>(content.size() >> 8));
    out.push_back(static_cast<std::uint8_t>(content.size() & 0xFF));
  }
  return cat({out, content});
}

// The same with an indefinite length.
Bytes indefinite(int tag, const Bytes& content) {
  return cat({b({tag, 0x80}), content, b({0, 0})});
}

const Bytes kSignedDataOid = tlv(0x06, b({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02}));
const Bytes kDataOid = tlv(0x06, b({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x01}));
const Bytes kSha256 = tlv(0x30, cat({tlv(0x06, b({0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01})), b({0x05, 0x00})}));
const Bytes kRsa = tlv(0x30, cat({tlv(0x06, b({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01})), b({0x05, 0x00})}));

// A certificate-shaped element that is deliberately not DER inside (a
// long-form length where a short one would do): it must survive unchanged.
const Bytes kCertB = b({0x30, 0x81, 0x03, 0x02, 0x01, 0x07});
const Bytes kCertA = tlv(0x30, tlv(0x02, Bytes(200, 0x11)));

Bytes signer_info(const Bytes& signature, bool indefinite_signature) {
  const Bytes sid = tlv(0x80, b({1, 2, 3}));
  const Bytes value = indefinite_signature
                          ? indefinite(0x24, cat({tlv(0x04, Bytes(signature.begin(), signature.begin() + 2)),
                                                  tlv(0x04, Bytes(signature.begin() + 2, signature.end()))}))
                          : tlv(0x04, signature);
  return tlv(0x30, cat({tlv(0x02, b({3})), sid, kSha256, kRsa, value}));
}

// ContentInfo { signedData, [0] SignedData } in BER (indefinite) or DER.
Bytes message(bool ber, const std::vector<Bytes>& certs, const std::vector<Bytes>& infos) {
  Bytes cert_bytes, info_bytes;
  for (const Bytes& c : certs) cert_bytes = cat({cert_bytes, c});
  for (const Bytes& i : infos) info_bytes = cat({info_bytes, i});
  auto wrap = [ber](int tag, const Bytes& content) { return ber ? indefinite(tag, content) : tlv(tag, content); };
  const Bytes signed_data = wrap(0x30, cat({tlv(0x02, b({1})), tlv(0x31, kSha256), wrap(0x30, kDataOid),
                                            wrap(0xA0, cert_bytes), wrap(0x31, info_bytes)}));
  return wrap(0x30, cat({kSignedDataOid, wrap(0xA0, signed_data)}));
}

TEST(SignedDataToDer, RewritesBerIntoSortedDefiniteDer) {
  const Bytes sig1 = Bytes(64, 0x55);
  const Bytes sig2 = Bytes(64, 0x22);
  const struct { const char* what; Bytes input; Bytes expected; } cases[] = {
      {"indefinite lengths, certificates sorted, certificate bytes kept",
       message(true, {kCertA, kCertB}, {signer_info(sig1, false)}),
       message(false, {kCertB, kCertA}, {signer_info(sig1, false)})},
      {"signature pieces joined, signer infos sorted",
       message(true, {kCertA}, {signer_info(sig1, true), signer_info(sig2, false)}),
       message(false, {kCertA}, {signer_info(sig2, false), signer_info(sig1, false)})},
      {"DER stays as it is", message(false, {kCertB, kCertA}, {signer_info(sig1, false)}),
       message(false, {kCertB, kCertA}, {signer_info(sig1, false)})},
  };
  for (const auto& c : cases) {
    const auto der = signed_data_to_der(c.input);
    ASSERT_TRUE(der) << c.what;
    EXPECT_EQ(*der, c.expected) << c.what;
  }
}

TEST(SignedDataToDer, FixReplacesEachSignatureValue) {
  const auto der = signed_data_to_der(message(true, {kCertA}, {signer_info(Bytes(300, 0x01), true)}),
                                       [](std::span<const std::uint8_t> value) {
                                         EXPECT_EQ(value.size(), 300u);
                                         return b({9, 9});
                                       });
  ASSERT_TRUE(der);
  EXPECT_EQ(*der, message(false, {kCertA}, {signer_info(b({9, 9}), false)}));
}

TEST(SignedDataToDer, RejectsMalformedInput) {
  const Bytes good = message(true, {kCertA}, {signer_info(Bytes(8, 1), false)});
  const struct { const char* what; Bytes input; } cases[] = {
      {"empty", {}},
      {"cut short", Bytes(good.begin(), good.end() - 3)},
      {"trailing bytes", cat({good, b({0})})},
      {"length past the end", b({0x30, 0x84, 0x7F, 0xFF, 0xFF, 0xFF})},
      {"indefinite primitive", b({0x04, 0x80, 0x00, 0x00})},
      {"not a SignedData", tlv(0x30, tlv(0x02, b({1})))},
      {"signer info without signature",
       message(true, {kCertA}, {tlv(0x30, cat({tlv(0x02, b({3})), kSha256}))})},
  };
  for (const auto& c : cases) EXPECT_EQ(signed_data_to_der(c.input), std::nullopt) << c.what;
}

TEST(IsDerDsaSignature, AcceptsOnlyMinimalSequencesOfTwoIntegers) {
  const struct { Bytes value; bool expected; } cases[] = {
      {b({0x30, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x07}), true},
      {b({0x30, 0x07, 0x02, 0x02, 0x00, 0x85, 0x02, 0x01, 0x07}), true},   // 0x00 before a high bit
      {b({0x30, 0x07, 0x02, 0x02, 0x00, 0x05, 0x02, 0x01, 0x07}), false},  // needless 0x00
      {b({0x30, 0x81, 0x06, 0x02, 0x01, 0x05, 0x02, 0x01, 0x07}), false},  // long-form length
      {b({0x30, 0x03, 0x02, 0x01, 0x05}), false},                          // one integer
      {Bytes(64, 0x30), false},                                             // raw r and s
  };
  for (const auto& c : cases) EXPECT_EQ(is_der_dsa_signature(c.value), c.expected);
}

}  // namespace
}  // namespace corvane::signing
