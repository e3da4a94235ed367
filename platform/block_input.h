// qpdf's input read through a block cache: the first `end` bytes of a
// ByteSource, optionally followed by bytes in memory (an update not written
// yet). qpdf reads a token at a time and asks for the position before
// nearly every one; through a file stream each of those would be a system
// call (an lseek and a read per object), here they are a number and a copy
// out of a cached block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <qpdf/InputSource.hh>

#include "platform/byte_source.h"

namespace corvane::platform {

class BlockInput final : public InputSource {
 public:
  // Reads the first `end` bytes of `source` (all of them when `end` is
  // larger), then `tail`; both must outlive this object. `name` names the
  // input in qpdf's messages.
  BlockInput(const ByteSource& source, std::uint64_t end, std::string name, std::string_view tail = {});
  // The same over all of a source it keeps.
  BlockInput(std::unique_ptr<const ByteSource> source, std::string name, std::string_view tail = {});

  qpdf_offset_t findAndSkipNextEOL() override;
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  // Throws std::runtime_error for a position before the start.
  void seek(qpdf_offset_t offset, int whence) override;
  void rewind() override { position_ = 0; }
  // Throws std::runtime_error when the source cannot be read.
  size_t read(char* buffer, size_t length) override;
  void unreadCh(char ch) override;

  // Until uncover(): `bytes` shown at `at` in place of the source's, and,
  // once a read has started at `at` (qpdf following an offset there),
  // `beyond` readable after the end. Before that the input ends where it
  // did, and seeking from the end always starts at the end.
  void cover(qpdf_offset_t at, std::string bytes, std::string beyond);
  void uncover();
  // Whether a read has started at the covered place since cover().
  [[nodiscard]] bool entered_cover() const { return entered_cover_; }

 private:
  struct Block {
    std::vector<char> bytes;
    qpdf_offset_t start = -1;
    std::uint64_t last_use = 0;
  };
  // The block holding `offset`, which must be before size_: one of the
  // cached blocks, or the least recently used one refilled. Throws
  // std::runtime_error when the source cannot be read.
  const Block& load(qpdf_offset_t offset);
  // Copies the `length` bytes at `offset`, which must all lie before size_,
  // from the source and the tail. Throws std::runtime_error when the
  // source cannot be read.
  void copy_out(char* buffer, std::size_t length, qpdf_offset_t offset) const;

  std::unique_ptr<const ByteSource> owned_;
  const ByteSource& source_;
  const qpdf_offset_t source_end_;
  const std::string_view tail_;
  const qpdf_offset_t size_;  // source_end_ and the tail
  qpdf_offset_t readable_;     // size_ and what cover() put beyond it
  const std::string name_;
  qpdf_offset_t position_ = 0;
  // A few blocks, because reading a page goes back and forth between the
  // page's object, its annotations and the form's fields, which lie in
  // different parts of the file.
  std::vector<Block> blocks_;
  std::size_t current_ = 0;  // the block last used, looked at first
  std::uint64_t uses_ = 0;
  qpdf_offset_t cover_at_ = 0;
  std::string cover_;
  std::string beyond_;
  bool entered_cover_ = false;
};

// qpdf's input for the open regular file `fd` (which stays the caller's),
// followed by `tail` (which must outlive the input). Throws
// std::runtime_error, naming `name`, when `fd` is not an open regular file.
[[nodiscard]] std::shared_ptr<BlockInput> file_input(int fd, const std::string& name, std::string_view tail = {});

}  // namespace corvane::platform
