// Random access to the bytes of a file (or of a buffer): readers take only
// the parts they need and hash the rest piece by piece, so a large document
// is never held in memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvane::platform {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  [[nodiscard]] virtual std::uint64_t size() const = 0;
  // Fills `out` with the bytes from `offset`. False, with `out` undefined,
  // when they are not all there or cannot be read.
  [[nodiscard]] virtual bool read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
};

// A regular file opened read-only for the life of the object.
class FileByteSource final : public ByteSource {
 public:
  // Opens `path` with open_regular: the open never blocks (a FIFO or a
  // device is refused, not waited on) and never follows a symbolic link of
  // another user.
  explicit FileByteSource(const std::string& path);
  // Reads the open file `fd`, which stays the caller's (this object reads a
  // duplicate); refused unless it is a regular file.
  explicit FileByteSource(int fd);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // False when the file could not be opened; problem() then says why.
  [[nodiscard]] bool is_open() const { return fd_ >= 0; }
  [[nodiscard]] const std::string& problem() const { return problem_; }
  [[nodiscard]] std::uint64_t size() const override { return size_; }
  [[nodiscard]] bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  // Keeps `fd` when it is an open regular file, else closes it and says why.
  void take(int fd);

  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::string problem_;
};

// Bytes held by the caller, who keeps them alive.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] std::uint64_t size() const override { return bytes_.size(); }
  [[nodiscard]] bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  std::string_view bytes_;
};

}  // namespace corvane::platform
