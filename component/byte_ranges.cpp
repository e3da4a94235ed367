// The byte ranges around the signature slot, and the signature over them.
//
// Signed file = assembly[0, contentsStart) "<" hex ">" assembly[second
// range]; the slot between "<" and ">" is as wide as the new objects laid it
// out, and /ByteRange is [0 contentsStart secondRangeStart secondRangeLength].
#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "component/signit_steps.h"
#include "incremental/signature_slot.h"

namespace corvane::component {
namespace {

constexpr std::string_view kContentsKey = "\n/Contents ";
constexpr std::string_view kEofLine = "\n%%EOF\n";
// Filler of the laid-out slot.
constexpr char kSlotFiller = 'e';

std::int32_t find(const ByteBuffer& buffer, std::string_view text, std::int32_t from) {
  return find_bytes(buffer.data(), buffer.size(), text, from);
}

// Width of the slot "<eee...>" that starts at `at`; nullopt when there is
// none.
std::optional<std::int32_t> slot_width(const ByteBuffer& buffer, std::int32_t at) {
  if (at < 0 || static_cast<std::size_t>(at) >= buffer.size() || buffer[static_cast<std::size_t>(at)] != '<')
    return std::nullopt;
  const auto begin = buffer.begin() + at + 1;
  const auto end = std::find_if(begin, buffer.end(), [](std::uint8_t b) { return b != kSlotFiller; });
  if (end == buffer.end() || *end != '>') return std::nullopt;
  return static_cast<std::int32_t>(end - begin);
}

}  // namespace

Refusal lay_out_byte_ranges(Edit& edit, ComponentState& state, SigningRun& run) {
  SigningSession& session = state.session;
  ByteBuffer& out = edit.assemblyBytes;

  // The signature dictionary, object N + 1, at its (checked) header.
  const std::int32_t dictionary_at = session.objectOffsets[static_cast<std::size_t>(session.firstNewObject) + 1];
  const std::int32_t contents_key = find(out, kContentsKey, dictionary_at);
  if (contents_key == kNotFound) return "the signature dictionary has no /Contents";
  edit.contentsStart = contents_key + static_cast<std::int32_t>(kContentsKey.size());
  const auto width = slot_width(out, edit.contentsStart);
  if (!width) return "the signature dictionary's /Contents is not the reserved slot";
  if (*width == 0) return "no signature could be made with the selected certificate to size the slot";

  edit.secondRangeStart = edit.contentsStart + *width + 2;
  const std::int32_t eof_line = find(out, kEofLine, edit.secondRangeStart);
  if (eof_line == kNotFound) return "the rebuilt document has no %%EOF line after the signature";
  edit.secondRangeLength = eof_line + static_cast<std::int32_t>(kEofLine.size()) - edit.secondRangeStart;

  if (Refusal refusal = incremental::fill_byte_range(std::span(out.data(), out.size()),
                                                    static_cast<std::size_t>(edit.secondRangeStart), edit.contentsStart,
                                                    edit.secondRangeStart, edit.secondRangeLength, edit.byteRangeText);
      !refusal.empty())
    return refusal;

  // The two ranges are signed where they are in the assembly buffer: no
  // copy of the document is made for signing.
  const std::span<const std::uint8_t> first(out.data(), static_cast<std::size_t>(edit.contentsStart));
  const std::span<const std::uint8_t> second(out.data() + edit.secondRangeStart,
                                             static_cast<std::size_t>(edit.secondRangeLength));
  run.revision.signed_bytes = [first, second](const ContentSink& sink) {
    sink(first);
    sink(second);
    return true;
  };
  run.revision.slot = std::span(reinterpret_cast<char*>(out.data()) + edit.contentsStart + 1,
                                static_cast<std::size_t>(*width));
  return {};
}

Refusal sign_byte_ranges(Edit& edit, ComponentState& state, SigningRun& run) {
  if (Refusal refusal = build_signature(run, state.signer); !refusal.empty()) return refusal;
  if (Refusal refusal = fill_slot(run); !refusal.empty()) return refusal;
  // The signed file is the assembly up to the end of the second range; the
  // spare bytes behind it are dropped.
  edit.documentBytes = std::exchange(edit.assemblyBytes, ByteBuffer(1, 0));
  edit.documentBytes.resize(static_cast<std::size_t>(edit.secondRangeStart + edit.secondRangeLength));
  return {};
}

}  // namespace corvane::component
