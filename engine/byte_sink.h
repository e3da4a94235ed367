// Bytes written into one vector reserved for the expected size; what does
// not fit goes into further blocks, so growing never copies what is
// already written. take() hands the vector over without a copy when the
// guess held; otherwise the blocks are appended to it, each freed as soon
// as it is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace corvane::engine {

using Bytes = std::vector<std::uint8_t>;

class ByteSink {
 public:
  // `expected` is a guess of the final size; reserving it costs no memory
  // until it is written.
  explicit ByteSink(std::size_t expected = 0);

  void append(std::string_view bytes);
  void push_back(std::uint8_t byte) {
    if (blocks_.empty() && first_.size() < first_.capacity()) {
      first_.push_back(byte);
    } else {
      append(std::string_view(reinterpret_cast<const char*>(&byte), 1));
    }
  }
  [[nodiscard]] std::size_t size() const noexcept { return first_.size() + in_blocks_; }
  // Writes `bytes` over what was written from `at` on; they must not reach
  // beyond size().
  void overwrite(std::size_t at, std::string_view bytes);
  // Makes the `length` bytes written at `at` `new_length` bytes long,
  // moving what follows them (the new bytes are blanks). Copies the whole.
  void resize_range(std::size_t at, std::size_t length, std::size_t new_length);
  // Everything written, in one vector; the sink is empty afterwards.
  [[nodiscard]] Bytes take();

 private:
  Bytes first_;
  std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
  std::size_t room_ = 0;  // in the last block
  std::size_t in_blocks_ = 0;
};

}  // namespace corvane::engine
