#include "engine/byte_sink.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "platform/atomic_file.h"

namespace corvane::engine {

namespace {

constexpr std::size_t kMoveBlock = std::size_t{1} << 20;

[[noreturn]] void file_failed() { throw FileWriteFailed(errno); }

void write_at(int fd, std::string_view bytes, std::size_t at) {
  if (!platform::write_all_at(fd, bytes, at)) file_failed();
}

// Moves the file's bytes [from, end) by `shift` bytes, in blocks, starting
// at the end that is not written over before it is read.
void move_tail(int fd, std::size_t from, std::size_t end, std::ptrdiff_t shift) {
  std::string block(std::min(kMoveBlock, end - from), '\0');
  for (std::size_t done = 0; done < end - from;) {
    const std::size_t length = std::min(block.size(), end - from - done);
    const std::size_t at = shift > 0 ? end - done - length : from + done;
    if (!platform::read_all_at(fd, std::span(reinterpret_cast<std::uint8_t*>(block.data()), length), at))
      file_failed();
    write_at(fd, std::string_view(block.data(), length), at + static_cast<std::size_t>(shift));
    done += length;
  }
}

}  // namespace

FileWriteFailed::FileWriteFailed(int error)
    : std::runtime_error("the signed file could not be written: " + std::string(std::strerror(error))), error_(error) {}

ByteSink::ByteSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }

void ByteSink::append(std::string_view bytes) {
  if (fd_ < 0) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return;
  }
  while (!bytes.empty()) {
    if (buffer_.size() >= kBufferSize) flush();
    const std::size_t fits = std::min(kBufferSize - buffer_.size(), bytes.size());
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(fits));
    bytes.remove_prefix(fits);
  }
}

void ByteSink::flush() {
  write_at(fd_, std::string_view(reinterpret_cast<const char*>(buffer_.data()), buffer_.size()), written_);
  written_ += buffer_.size();
  buffer_.clear();
}

void ByteSink::overwrite(std::size_t at, std::string_view bytes) {
  if (at < written_) {
    const std::size_t in_file = std::min(bytes.size(), written_ - at);
    write_at(fd_, bytes.substr(0, in_file), at);
    bytes.remove_prefix(in_file);
    at += in_file;
  }
  std::copy(bytes.begin(), bytes.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(at - written_));
}

void ByteSink::resize_range(std::size_t at, std::size_t length, std::size_t new_length) {
  if (fd_ >= 0) {
    finish();
    const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(new_length) - static_cast<std::ptrdiff_t>(length);
    move_tail(fd_, at + length, written_, shift);
    if (shift > 0) write_at(fd_, std::string(static_cast<std::size_t>(shift), ' '), at + length);
    if (shift < 0 && ::ftruncate(fd_, static_cast<off_t>(written_) + shift) != 0) file_failed();
    written_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(written_) + shift);
    return;
  }
  const auto from = buffer_.begin() + static_cast<std::ptrdiff_t>(at);
  if (new_length > length) {
    buffer_.insert(from + static_cast<std::ptrdiff_t>(length), new_length - length, ' ');
  } else {
    buffer_.erase(from + static_cast<std::ptrdiff_t>(new_length), from + static_cast<std::ptrdiff_t>(length));
  }
}

void ByteSink::finish() {
  if (fd_ >= 0 && !buffer_.empty()) flush();
}

Bytes ByteSink::take() {
  if (fd_ >= 0) return {};
  return std::exchange(buffer_, Bytes());
}

}  // namespace corvane::engine
