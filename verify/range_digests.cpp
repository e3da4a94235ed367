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

std::optional<std::vector<std::uint8_t>> finished(EVP_MD_CTX* context) {
  std::vector<std::uint8_t> digest(EVP_MAX_MD_SIZE);
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context, digest.data(), &length) != 1) return std::vector<std::uint8_t>{};
  digest.resize(length);
  return digest;
}

}  // namespace

struct RangeDigests::Running {
  OpensslHandle<EVP_MD_CTX, EVP_MD_CTX_free> context{EVP_MD_CTX_new()};
  std::uint64_t position = 0;  // how many of the file's first bytes it has taken
};

RangeDigests::RangeDigests(const platform::ByteSource& file) : file_(file) {}
RangeDigests::~RangeDigests() = default;

std::optional<std::vector<std::uint8_t>> digest_of(std::span<const std::uint8_t> oid,
                                                   const std::function<bool(const PieceSink&)>& content) {
  const EVP_MD* md = digest_named(oid);
  OpensslHandle<EVP_MD_CTX, EVP_MD_CTX_free> context(EVP_MD_CTX_new());
  if (!md || !context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return std::vector<std::uint8_t>{};
  const bool read = content(
      [&context](std::span<const std::uint8_t> piece) { EVP_DigestUpdate(context.get(), piece.data(), piece.size()); });
  if (!read) return std::nullopt;
  return finished(context.get());
}

std::optional<std::vector<std::uint8_t>> RangeDigests::digest(const SignedRanges& ranges,
                                                              std::span<const std::uint8_t> oid) {
  Key key{ranges.slot_offset, ranges.slot_end, ranges.signed_end, std::string(oid.begin(), oid.end())};
  if (const auto known = known_.find(key); known != known_.end()) return known->second;
  auto digest = computed(ranges, oid);
  known_.emplace(std::move(key), digest);
  return digest;
}

// The running digest of the file's start is carried to this slot when the
// slot lies at or after where it stands; a slot before it (signatures asked
// for out of file order) is hashed from the start on its own.
std::optional<std::vector<std::uint8_t>> RangeDigests::computed(const SignedRanges& ranges,
                                                                std::span<const std::uint8_t> oid) {
  const EVP_MD* md = digest_named(oid);
  if (!md || !ranges.well_formed)
    return digest_of(oid, [this, &ranges](const PieceSink& sink) { return read_signed_bytes(file_, ranges, sink); });
  std::unique_ptr<Running>& running = running_[std::string(oid.begin(), oid.end())];
  if (!running || running->position > ranges.slot_offset) {
    running = std::make_unique<Running>();
    if (!running->context || EVP_DigestInit_ex(running->context.get(), md, nullptr) != 1) return std::vector<std::uint8_t>{};
  }
  const auto into = [](EVP_MD_CTX* context) {
    return [context](std::span<const std::uint8_t> piece) { EVP_DigestUpdate(context, piece.data(), piece.size()); };
  };
  if (!read_bytes(file_, running->position, ranges.slot_offset, into(running->context.get()))) {
    running.reset();
    return std::nullopt;
  }
  running->position = ranges.slot_offset;
  OpensslHandle<EVP_MD_CTX, EVP_MD_CTX_free> copy(EVP_MD_CTX_new());
  if (!copy || EVP_MD_CTX_copy_ex(copy.get(), running->context.get()) != 1) return std::vector<std::uint8_t>{};
  if (!read_bytes(file_, ranges.slot_end, ranges.signed_end, into(copy.get()))) return std::nullopt;
  return finished(copy.get());
}

SignedDigest RangeDigests::of(const SignedRanges& ranges) {
  return [this, &ranges](std::span<const std::uint8_t> oid) { return digest(ranges, oid); };
}

}  // namespace corvane::verify
