#include "engine/byte_sink.h"

#include <algorithm>
#include <cstring>

#include "engine/large_buffer.h"

namespace corvane::engine {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}  // namespace

ByteSink::ByteSink(std::size_t expected) : first_(reserve_bytes(expected)) {}

void ByteSink::append(std::string_view bytes) {
  if (blocks_.empty()) {
    const std::size_t fits = std::min(first_.capacity() - first_.size(), bytes.size());
    first_.insert(first_.end(), bytes.begin(), bytes.begin() + fits);
    bytes.remove_prefix(fits);
  }
  while (!bytes.empty()) {
    if (room_ == 0) {
      blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kBlockSize));
      room_ = kBlockSize;
    }
    const std::size_t take = std::min(room_, bytes.size());
    std::memcpy(blocks_.back().get() + (kBlockSize - room_), bytes.data(), take);
    room_ -= take;
    in_blocks_ += take;
    bytes.remove_prefix(take);
  }
}

void ByteSink::overwrite(std::size_t at, std::string_view bytes) {
  while (!bytes.empty()) {
    std::uint8_t* target = nullptr;
    std::size_t room = 0;
    if (at < first_.size()) {
      target = first_.data() + at;
      room = first_.size() - at;
    } else {
      const std::size_t in_blocks = at - first_.size();
      target = blocks_[in_blocks / kBlockSize].get() + in_blocks % kBlockSize;
      room = kBlockSize - in_blocks % kBlockSize;
    }
    const std::size_t take = std::min(room, bytes.size());
    std::memcpy(target, bytes.data(), take);
    at += take;
    bytes.remove_prefix(take);
  }
}

void ByteSink::resize_range(std::size_t at, std::size_t length, std::size_t new_length) {
  Bytes all = take();
  if (new_length > length) {
    all.insert(all.begin() + static_cast<std::ptrdiff_t>(at + length), new_length - length, ' ');
  } else {
    all.erase(all.begin() + static_cast<std::ptrdiff_t>(at + new_length),
              all.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  first_ = std::move(all);
}

Bytes ByteSink::take() {
  Bytes all = std::move(first_);
  if (in_blocks_ > 0) all.reserve(all.size() + in_blocks_);
  std::size_t left = in_blocks_;
  for (auto& block : blocks_) {
    const std::size_t length = std::min(left, kBlockSize);
    all.insert(all.end(), block.get(), block.get() + length);
    left -= length;
    block.reset();
  }
  first_ = Bytes();
  blocks_.clear();
  room_ = 0;
  in_blocks_ = 0;
  return all;
}

}  // namespace corvane::engine
