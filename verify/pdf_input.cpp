#include "verify/pdf_input.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <stdexcept>

namespace corvane::verify {
namespace {

// Large enough that neighbouring objects are mostly in one block, small
// enough to cost nothing to refill; 8 of them are half a megabyte.
constexpr qpdf_offset_t kBlockSize = 64 * 1024;
constexpr std::size_t kBlocks = 8;

}  // namespace

ByteSourceInput::ByteSourceInput(const ByteSource& file, std::uint64_t end, std::string name)
    : file_(file), end_(static_cast<qpdf_offset_t>(std::min(end, file.size()))), name_(std::move(name)), blocks_(kBlocks) {}

const ByteSourceInput::Block& ByteSourceInput::load(qpdf_offset_t offset) {
  const qpdf_offset_t start = offset - offset % kBlockSize;
  Block* block = &blocks_.front();
  for (Block& candidate : blocks_) {
    if (candidate.start == start) {
      candidate.last_use = ++uses_;
      return candidate;
    }
    if (candidate.last_use < block->last_use) block = &candidate;
  }
  block->bytes.resize(static_cast<std::size_t>(std::min(kBlockSize, end_ - start)));
  block->start = -1;
  if (!file_.read(static_cast<std::uint64_t>(start),
                  std::span(reinterpret_cast<std::uint8_t*>(block->bytes.data()), block->bytes.size())))
    throw std::runtime_error(name_ + ": the file cannot be read");
  block->start = start;
  block->last_use = ++uses_;
  return *block;
}

void ByteSourceInput::seek(qpdf_offset_t offset, int whence) {
  qpdf_offset_t to = offset;
  if (whence == SEEK_END) to += end_;
  else if (whence == SEEK_CUR) to += position_;
  if (to < 0) throw std::runtime_error(name_ + ": seek before the start of the file");
  position_ = to;
}

size_t ByteSourceInput::read(char* buffer, size_t length) {
  last_offset = position_;
  std::size_t done = 0;
  while (done < length && position_ < end_) {
    const Block& block = load(position_);
    const auto in_block = static_cast<std::size_t>(position_ - block.start);
    const std::size_t n = std::min(length - done, block.bytes.size() - in_block);
    std::memcpy(buffer + done, block.bytes.data() + in_block, n);
    done += n;
    position_ += static_cast<qpdf_offset_t>(n);
  }
  return done;
}

void ByteSourceInput::unreadCh(char) {
  if (position_ > 0) --position_;
}

qpdf_offset_t ByteSourceInput::findAndSkipNextEOL() {
  // The end of line is looked for a block at a time, then the position
  // moves past every \r and \n that follows it.
  qpdf_offset_t eol = end_;
  while (position_ < end_) {
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
  while (position_ < end_) {
    const Block& block = load(position_);
    const char c = block.bytes[static_cast<std::size_t>(position_ - block.start)];
    if (c != '\r' && c != '\n') break;
    ++position_;
  }
  return eol;
}

std::uint64_t readable_end(const ByteSource& file, const std::vector<std::uint64_t>& revision_ends) {
  constexpr std::uint64_t kTail = 1024;
  if (revision_ends.empty()) return file.size();
  const std::uint64_t start = file.size() > kTail ? file.size() - kTail : 0;
  std::string tail(static_cast<std::size_t>(file.size() - start), '\0');
  const bool read = file.read(start, std::span(reinterpret_cast<std::uint8_t*>(tail.data()), tail.size()));
  return read && tail.find("startxref") != std::string::npos ? file.size() : revision_ends.back();
}

OpenedPdf open_pdf(const ByteSource& file, std::uint64_t end, const std::string& password) {
  OpenedPdf opened;
  try {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processInputSource(std::make_shared<ByteSourceInput>(file, end, "the document"),
                            password.empty() ? nullptr : password.c_str());
    opened.pdf = std::move(pdf);
  } catch (const QPDFExc& e) {
    opened.problem = e.getErrorCode() == qpdf_e_password ? "the password is missing or wrong" : e.getMessageDetail();
  } catch (const std::exception& e) {
    opened.problem = e.what();
  }
  return opened;
}

}  // namespace corvane::verify
