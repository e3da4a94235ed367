// A file for qpdf to read through a block cache with positioned reads.
// qpdf's own file source asks the C library for the position before
// nearly every token, which costs a system call each time; here the
// position is a plain number and the data comes from the cached block.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <qpdf/InputSource.hh>

namespace corvane::engine {

class FileSource final : public InputSource {
 public:
  // Opens `path` for reading as platform::open_regular does (no link of
  // another user, a FIFO refused without blocking). Throws
  // std::runtime_error when it cannot.
  explicit FileSource(const std::string& path);
  // Reads the open file `fd` (which stays the caller's) under `name`,
  // followed by `tail` when not empty: the bytes of an update not written
  // yet, which must outlive the source. Throws std::runtime_error when it
  // cannot.
  FileSource(int fd, std::string name, std::string_view tail = {});
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  // Throws std::runtime_error for a position before the start.
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override { position_ = 0; }
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char ch) override;

 private:
  // Takes over the descriptor `fd`, which must be a regular file; a
  // negative one stands for the failed call that should have given it.
  void take(int fd);
  // Makes the cached block hold `offset`; false at the end of the file.
  bool load_block(qpdf_offset_t offset);
  // Reads up to `length` bytes at `offset` from the file, then the tail;
  // the number read. Throws std::runtime_error on a read error.
  std::size_t read_at(char* buffer, std::size_t length, qpdf_offset_t offset) const;

  std::string name_;
  int fd_ = -1;
  std::string_view tail_;
  // The file's size, and the size with the tail.
  qpdf_offset_t file_size_ = 0;
  qpdf_offset_t size_ = 0;
  qpdf_offset_t position_ = 0;
  std::vector<char> block_;
  qpdf_offset_t block_start_ = 0;
  qpdf_offset_t block_length_ = 0;
};

}  // namespace corvane::engine
