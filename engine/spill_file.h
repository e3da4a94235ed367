// A byte image kept in an unnamed temporary file instead of in memory.
// Once the engine has written its image and handed it to the caller, it
// needs the bytes only to read its document again, which qpdf does in
// blocks; keeping them on disk means a large document is held in memory
// once (by the caller, who changes it) instead of twice.
#pragma once

#include <cstddef>
#include <memory>

#include "engine/byte_sink.h"

namespace corvane::engine {

class SpillFile {
 public:
  // `bytes` in a new unnamed file in $TMPDIR (else /tmp); nullptr when no
  // such file can be made or written (the caller then keeps the bytes in
  // memory).
  [[nodiscard]] static std::shared_ptr<const SpillFile> write(const Bytes& bytes);

  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Open for reading as long as the object lives.
  [[nodiscard]] int descriptor() const noexcept { return fd_; }
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  // True when the file holds exactly `bytes`.
  [[nodiscard]] bool holds(const Bytes& bytes) const;

 private:
  SpillFile(int fd, std::size_t size) : fd_(fd), size_(size) {}

  int fd_;
  std::size_t size_;
};

}  // namespace corvane::engine
