// Bytes written in blocks: growing never copies what is already written
// and needs no guess of the final size; take() moves everything into one
// vector, freeing each block as soon as it is copied, so that the bytes
// are held twice only one block at a time.
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
  void append(std::string_view bytes);
  void push_back(std::uint8_t byte) {
    if (room_ == 0) new_block();
    *next_++ = byte;
    --room_;
    ++size_;
  }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  // Everything written, in one vector; the sink is empty afterwards.
  [[nodiscard]] Bytes take();

 private:
  void new_block();

  std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
  std::uint8_t* next_ = nullptr;
  std::size_t room_ = 0;
  std::size_t size_ = 0;
};

}  // namespace corvane::engine
