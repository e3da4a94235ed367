// The digests of the bytes that signatures sign, each computed once in a
// run: a signature's CMS check and its message-digest attribute, and every
// signature dictionary that shares its byte ranges, read and hash the bytes
// once. Signatures asked for in file order share the hashing of the file's
// start: one running digest reads the file once, and each signature's
// digest continues a copy of it from its slot over its second range.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "platform/byte_source.h"
#include "verify/signed_ranges.h"

namespace corvane::verify {

// A digest algorithm's object identifier as the DER contents after tag and
// length (what a CMS AlgorithmIdentifier holds); SHA-256's here.
inline constexpr std::uint8_t kSha256Oid[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};

// The digest with the algorithm `oid` of whatever the caller's content is:
// nullopt when the bytes cannot be read, an empty digest when no digest
// algorithm is known by that identifier.
using SignedDigest = std::function<std::optional<std::vector<std::uint8_t>>(std::span<const std::uint8_t> oid)>;

// Digests the bytes `content` hands to its sink, piece by piece, with the
// algorithm `oid`; the same meaning of nullopt and empty as SignedDigest.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> digest_of(
    std::span<const std::uint8_t> oid, const std::function<bool(const PieceSink&)>& content);

class RangeDigests {
 public:
  // `file` must outlive this object.
  explicit RangeDigests(const platform::ByteSource& file);
  ~RangeDigests();
  RangeDigests(const RangeDigests&) = delete;
  RangeDigests& operator=(const RangeDigests&) = delete;

  // The digest with `oid` of the bytes that well-formed `ranges` sign,
  // computed when first asked for; as SignedDigest.
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> digest(const SignedRanges& ranges,
                                                                std::span<const std::uint8_t> oid);

  // digest() for `ranges`, to hand to a check; `ranges` must outlive it.
  [[nodiscard]] SignedDigest of(const SignedRanges& ranges);

 private:
  using Key = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::string>;
  struct Running;  // a digest of the file's first bytes, by algorithm
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> computed(const SignedRanges& ranges,
                                                                  std::span<const std::uint8_t> oid);
  const platform::ByteSource& file_;
  std::map<Key, std::optional<std::vector<std::uint8_t>>> known_;
  std::map<std::string, std::unique_ptr<Running>> running_;
};

}  // namespace corvane::verify
