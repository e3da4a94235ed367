// The byte ranges a signature covers, checked against the file: the first
// range starts at 0, the gap between the two ranges is exactly the hex
// string "<...>" of the signature's /Contents, and the second range ends at
// the end of the file (the signature covers the whole file) or at the end of
// an earlier revision (a "%%EOF" line: later updates are not covered).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_source.h"

namespace corvane::verify {

struct SignedRanges {
  bool well_formed = false;
  std::string problem;            // why the ranges cannot be trusted; "" when well formed
  std::uint64_t slot_offset = 0;  // the offset of the slot's "<", the length of the first range
  std::uint64_t slot_end = 0;     // the offset just after its ">", where the second range starts
  std::uint64_t signed_end = 0;   // where the second range ends
  bool covers_whole_file = false;
  std::vector<std::uint8_t> signature;  // the message in the slot, without the zero padding after it
};

// Checks a signature's /ByteRange numbers against `file`. `contents_offset`
// is where the parser found the dictionary's /Contents in the file (the
// slot must start there, after white space at most); when it is -1 (unknown) the slot's bytes must equal
// `contents` instead. A slot whose message is followed by anything but zero
// bytes is refused, so that nothing unsigned can hide in it. Never throws;
// the neutral result has `well_formed` false and `problem` set.
[[nodiscard]] SignedRanges check_signed_ranges(const platform::ByteSource& file, std::span<const long long> byte_range,
                                               long long contents_offset, std::string_view contents);

using PieceSink = std::function<void(std::span<const std::uint8_t>)>;

// Hands the bytes of both ranges of well-formed `ranges` to `sink` in file
// order, in pieces of at most a megabyte. False when the file could not be
// read to the end of the ranges.
[[nodiscard]] bool read_signed_bytes(const platform::ByteSource& file, const SignedRanges& ranges, const PieceSink& sink);

// Hands the bytes from `from` to `to` of `file` to `sink` in pieces of at
// most a megabyte; false when they could not be read.
[[nodiscard]] bool read_bytes(const platform::ByteSource& file, std::uint64_t from, std::uint64_t to, const PieceSink& sink);

}  // namespace corvane::verify
