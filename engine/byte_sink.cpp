#include "engine/byte_sink.h"

#include <algorithm>
#include <cstring>

namespace corvane::engine {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}  // namespace

void ByteSink::new_block() {
  blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kBlockSize));
  next_ = blocks_.back().get();
  room_ = kBlockSize;
}

void ByteSink::append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (room_ == 0) new_block();
    const std::size_t take = std::min(room_, bytes.size());
    std::memcpy(next_, bytes.data(), take);
    next_ += take;
    room_ -= take;
    size_ += take;
    bytes.remove_prefix(take);
  }
}

Bytes ByteSink::take() {
  Bytes all;
  all.reserve(size_);
  std::size_t left = size_;
  for (auto& block : blocks_) {
    const std::size_t length = std::min(left, kBlockSize);
    all.insert(all.end(), block.get(), block.get() + length);
    left -= length;
    block.reset();
  }
  blocks_.clear();
  next_ = nullptr;
  room_ = 0;
  size_ = 0;
  return all;
}

}  // namespace corvane::engine
