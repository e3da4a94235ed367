// The signature over the byte ranges around the slot of the rebuilt file.
//
// Signed file = documentBytes[0, contentsStart) "<" hex ">"
// documentBytes[second range]; the slot between "<" and ">" is as wide as
// the new objects laid it out.
#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/signit_steps.h"

namespace corvane::component {
namespace {

// Filler of a final signature shorter than its slot (DER readers stop at
// the end of the signature's own length).
constexpr char kShortSignatureFiller = '0';

bool is_lower_hex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

}  // namespace

Refusal fit_signature(std::string& signature, std::size_t width) {
  if (signature.empty()) return "the signature could not be made with the selected certificate";
  if (!is_lower_hex(signature)) return "signing failed: " + one_line(std::move(signature));
  if (signature.size() > width)
    return "the signature (" + std::to_string(signature.size()) + " hex digits) is longer than its slot (" +
           std::to_string(width) + ")";
  signature.resize(width, kShortSignatureFiller);
  return {};
}

Refusal sign_byte_ranges(Edit& edit, ComponentState& state) {
  SignerState& signer = state.signer;
  ByteBuffer& out = edit.documentBytes;

  // The two ranges are signed where they are in the file: no copy of the
  // document is made for signing.
  signer.contentPieces = {
      std::span<const std::uint8_t>(out.data(), static_cast<std::size_t>(edit.contentsStart)),
      std::span<const std::uint8_t>(out.data() + edit.secondRangeStart,
                                    static_cast<std::size_t>(edit.secondRangeLength))};
  // The pieces are signed; the text passed is not.
  std::string signature = code_page_signer()(signer, kSizingContent);
  // The ranges serve this one signature, also when signing failed early.
  signer.contentPieces.clear();
  signer.contentBytes = std::vector<std::uint8_t>{0};

  const auto width = static_cast<std::size_t>(edit.secondRangeStart - edit.contentsStart - 2);
  if (!signer.refusal.empty()) return signer.refusal;
  if (Refusal refusal = timestamp_signature(edit, signature); !refusal.empty()) return refusal;
  if (Refusal refusal = fit_signature(signature, width); !refusal.empty()) return refusal;
  std::memcpy(out.data() + edit.contentsStart + 1, signature.data(), signature.size());
  return {};
}

}  // namespace corvane::component
