// The Utilities object: hex text and local-to-UTC time, early and late bound.
#include "signing/store_objects.h"
#include "platform/hex.h"
#include "signing/ole_date.h"
#include "platform/codepage.h"

namespace corvane::signing {
namespace {

constexpr platform::DispId kBinaryToHexId = 1;
constexpr platform::DispId kLocalTimeToUtcId = 2;

}  // namespace

std::string Utilities::BinaryToHex(std::span<const std::uint8_t> bytes) const {
  return platform::lower_hex(bytes);
}

std::optional<double> Utilities::LocalTimeToUTCTime(double local) const {
  return local_ole_to_utc_ole(local);
}

platform::DispId Utilities::dispatch_id(std::string_view name) const {
  const std::string lower = platform::ascii_lower(name);
  if (lower == "binarytohex") return kBinaryToHexId;
  if (lower == "localtimetoutctime") return kLocalTimeToUtcId;
  return platform::kUnknownDispId;
}

bool Utilities::invoke(platform::DispId id, platform::InvokeKind kind, std::span<platform::Variant> args,
                       platform::Variant& result, platform::CallError& error) {
  if (kind == platform::InvokeKind::kPropertyPut || args.size() != 1) {
    error.description = "Wrong number of arguments or invalid property assignment";
    return false;
  }
  if (id == kBinaryToHexId) {
    const platform::ByteArray* bytes = args[0].bytes();
    if (!bytes) {
      error.description = "Type mismatch";
      return false;
    }
    result = BinaryToHex(*bytes);
    return true;
  }
  if (id == kLocalTimeToUtcId) {
    const auto local = args[0].to_double();
    if (!local) {
      error.description = "Type mismatch";
      return false;
    }
    const auto utc = LocalTimeToUTCTime(*local);
    if (!utc) {
      error.description = "The date cannot be converted to UTC";
      return false;
    }
    result = *utc;
    return true;
  }
  return platform::AutomationObject::invoke(id, kind, args, result, error);
}

}  // namespace corvane::signing
