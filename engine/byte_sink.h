// Bytes written one after the other, either into memory or into a file
// through a buffer of its own (so that a whole document never needs to be
// held in memory). Bytes already written can be written over and a range
// of them made shorter or longer.
//
// A file sink throws FileWriteFailed when the file cannot be written or
// read back; a memory sink throws only what allocation throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace corvane::engine {

using Bytes = std::vector<std::uint8_t>;

class FileWriteFailed : public std::runtime_error {
 public:
  // `error`: the error number (errno) of the failed call.
  explicit FileWriteFailed(int error);
  [[nodiscard]] int error() const noexcept { return error_; }

 private:
  int error_;
};

class ByteSink {
 public:
  // Into memory; take() hands the bytes over.
  ByteSink() = default;
  // Into the open file `fd` (read and write), from its start; the file
  // must be empty. finish() writes out what the buffer still holds.
  explicit ByteSink(int fd);

  void append(std::string_view bytes);
  void push_back(std::uint8_t byte) {
    if (fd_ < 0 || buffer_.size() < kBufferSize) {
      buffer_.push_back(byte);
    } else {
      append(std::string_view(reinterpret_cast<const char*>(&byte), 1));
    }
  }
  [[nodiscard]] std::size_t size() const noexcept { return written_ + buffer_.size(); }
  // Writes `bytes` over what was written from `at` on; they must not reach
  // beyond size().
  void overwrite(std::size_t at, std::string_view bytes);
  // Makes the `length` bytes written at `at` `new_length` bytes long,
  // moving what follows them (the new bytes are blanks). Moves everything
  // after `at`, block by block in a file.
  void resize_range(std::size_t at, std::size_t length, std::size_t new_length);
  // Writes the buffer out to the file (nothing in memory).
  void finish();
  // Everything written into memory, in one vector; the sink is empty
  // afterwards. Empty for a file sink.
  [[nodiscard]] Bytes take();

 private:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
  void flush();

  int fd_ = -1;
  // What is not in the file yet (everything, in memory), and how many
  // bytes the file holds before it.
  Bytes buffer_;
  std::size_t written_ = 0;
};

}  // namespace corvane::engine
