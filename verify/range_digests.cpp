#include "verify/range_digests.h"

#include <openssl/evp.h>
#include <openssl/objects.h>

#include "platform/openssl_handle.h"

namespace corvane::verify {
namespace {

using platform::OpensslHandle;

// OpenSSL's digest for the identifier `oid`; nullptr when it knows none.
const EVP_MD* digest_named(std::span<const std::uint8_t> oid) {
  if (oid.empty() || oid.size() > 127) return nullptr;
  std::vector<unsigned char> der = {0x06, static_cast<unsigned char>(oid.size())};
  der.insert(der.end(), oid.begin(), oid.end());
  const unsigned char* in = der.data();
  OpensslHandle<ASN1_OBJECT, ASN1_OBJECT_free> object(d2i_ASN1_OBJECT(nullptr, &in, static_cast<long>(der.size())));
  return object ? EVP_get_digestbyobj(object.get()) : nullptr;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> digest_of(std::span<const std::uint8_t> oid,
                                                   const std::function<bool(const PieceSink&)>& content) {
  const EVP_MD* md = digest_named(oid);
  OpensslHandle<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
  if (!md || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return std::vector<std::uint8_t>{};
  const bool read = content(
      [&context](std::span<const std::uint8_t> piece) { EVP_DigestUpdate(context.get(), piece.data(), piece.size()); });
  if (!read) return std::nullopt;
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) return std::vector<std::uint8_t>{};
  digest.resize(length);
  return digest;
}

std::optional<std::vector<std::uint8_t>> RangeDigests::digest(const SignedRanges& ranges,
                                                              std::span<const std::uint8_t> oid) {
  Key key{ranges.slot_offset, ranges.slot_end, ranges.signed_end, std::string(oid.begin(), oid.end())};
  if (const auto known = known_.find(key); known != known_.end()) return known->second;
  auto digest = digest_of(oid, [this, &ranges](const PieceSink& sink) { return read_signed_bytes(file_, ranges, sink); });
  known_.emplace(std::move(key), digest);
  return digest;
}

SignedDigest RangeDigests::of(const SignedRanges& ranges) {
  return [this, &ranges](std::span<const std::uint8_t> oid) { return digest(ranges, oid); };
}

}  // namespace corvane::verify
