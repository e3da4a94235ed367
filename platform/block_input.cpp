#include "platform/block_input.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>
#include <utility>

namespace corvane::platform {
namespace {

// Large enough that neighbouring objects are mostly in one block, small
// enough to cost nothing to refill; 8 of them are half a megabyte. A read
// of a block or more (a large stream's data) bypasses them.
constexpr qpdf_offset_t kBlockSize = 64 * 1024;
constexpr std::size_t kBlocks = 8;

}  // namespace

BlockInput::BlockInput(const ByteSource& source, std::uint64_t end, std::string name, std::string_view tail)
    : source_(source),
      source_end_(static_cast<qpdf_offset_t>(std::min(end, source.size()))),
      tail_(tail),
      size_(source_end_ + static_cast<qpdf_offset_t>(tail.size())),
      readable_(size_),
      name_(std::move(name)),
      blocks_(kBlocks) {}

BlockInput::BlockInput(std::unique_ptr<const ByteSource> source, std::string name, std::string_view tail)
    : BlockInput(*source, std::numeric_limits<std::uint64_t>::max(), std::move(name), tail) {
  owned_ = std::move(source);
}

void BlockInput::copy_out(char* buffer, std::size_t length, qpdf_offset_t offset) const {
  std::size_t done = 0;
  if (offset < source_end_) {
    done = static_cast<std::size_t>(std::min<qpdf_offset_t>(static_cast<qpdf_offset_t>(length), source_end_ - offset));
    if (!source_.read(static_cast<std::uint64_t>(offset), std::span(reinterpret_cast<std::uint8_t*>(buffer), done)))
      throw std::runtime_error(name_ + ": the file cannot be read");
  }
  for (const auto& [part, start] : {std::pair<std::string_view, qpdf_offset_t>{tail_, source_end_},
                                    {beyond_, size_}, {cover_, cover_at_}}) {
    // The overlap of [offset, offset + length) with the part at `start`.
    const qpdf_offset_t from = std::max(offset, start);
    const qpdf_offset_t to = std::min(offset + static_cast<qpdf_offset_t>(length), start + static_cast<qpdf_offset_t>(part.size()));
    if (from < to) std::memcpy(buffer + (from - offset), part.data() + (from - start), static_cast<std::size_t>(to - from));
  }
}

void BlockInput::cover(qpdf_offset_t at, std::string bytes, std::string beyond) {
  uncover();
  cover_at_ = at;
  cover_ = std::move(bytes);
  beyond_ = std::move(beyond);
}

void BlockInput::uncover() {
  cover_.clear();
  beyond_.clear();
  readable_ = size_;
  entered_cover_ = false;
  for (Block& block : blocks_) block.start = -1;
}

const BlockInput::Block& BlockInput::load(qpdf_offset_t offset) {
  const qpdf_offset_t start = offset - offset % kBlockSize;
  if (blocks_[current_].start == start) return blocks_[current_];
  Block* block = &blocks_.front();
  for (Block& candidate : blocks_) {
    if (candidate.start == start) {
      candidate.last_use = ++uses_;
      current_ = static_cast<std::size_t>(&candidate - blocks_.data());
      return candidate;
    }
    if (candidate.last_use < block->last_use) block = &candidate;
  }
  block->bytes.resize(static_cast<std::size_t>(std::min(kBlockSize, readable_ - start)));
  block->start = -1;
  copy_out(block->bytes.data(), block->bytes.size(), start);
  block->start = start;
  block->last_use = ++uses_;
  current_ = static_cast<std::size_t>(block - blocks_.data());
  return *block;
}

void BlockInput::seek(qpdf_offset_t offset, int whence) {
  qpdf_offset_t to = offset;
  if (whence == SEEK_END) to += size_;
  else if (whence == SEEK_CUR) to += position_;
  if (to < 0) throw std::runtime_error(name_ + ": seek before the start of the file");
  position_ = to;
}

size_t BlockInput::read(char* buffer, size_t length) {
  last_offset = position_;
  if (!cover_.empty() && position_ == cover_at_ && !entered_cover_) {
    entered_cover_ = true;
    readable_ = size_ + static_cast<qpdf_offset_t>(beyond_.size());
    for (Block& block : blocks_) block.start = -1;  // the last one may end at the end
  }
  if (position_ >= readable_) return 0;
  length = static_cast<std::size_t>(std::min<qpdf_offset_t>(static_cast<qpdf_offset_t>(length), readable_ - position_));

  if (static_cast<qpdf_offset_t>(length) >= kBlockSize) {
    copy_out(buffer, length, position_);
    position_ += static_cast<qpdf_offset_t>(length);
    return length;
  }
  std::size_t done = 0;
  while (done < length) {
    const Block& block = load(position_);
    const auto in_block = static_cast<std::size_t>(position_ - block.start);
    const std::size_t n = std::min(length - done, block.bytes.size() - in_block);
    std::memcpy(buffer + done, block.bytes.data() + in_block, n);
    done += n;
    position_ += static_cast<qpdf_offset_t>(n);
  }
  return done;
}

void BlockInput::unreadCh(char) {
  if (position_ > 0) --position_;
}

qpdf_offset_t BlockInput::findAndSkipNextEOL() {
  // The end of line is looked for a block at a time, then the position
  // moves past every \r and \n that follows it.
  qpdf_offset_t eol = readable_;
  while (position_ < readable_) {
    const Block& block = load(position_);
    const char* from = block.bytes.data() + (position_ - block.start);
    const char* to = block.bytes.data() + block.bytes.size();
    const char* found = std::find_if(from, to, [](char c) { return c == '\r' || c == '\n'; });
    position_ += found - from;
    if (found != to) {
      eol = position_;
      break;
    }
  }
  while (position_ < readable_) {
    const Block& block = load(position_);
    const char c = block.bytes[static_cast<std::size_t>(position_ - block.start)];
    if (c != '\r' && c != '\n') break;
    ++position_;
  }
  return eol;
}

std::shared_ptr<BlockInput> file_input(int fd, const std::string& name, std::string_view tail) {
  auto file = std::make_unique<FileByteSource>(fd);
  if (!file->is_open()) throw std::runtime_error(name + ": " + file->problem());
  return std::make_shared<BlockInput>(std::move(file), name, tail);
}

}  // namespace corvane::platform
