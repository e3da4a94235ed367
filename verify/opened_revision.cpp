#include "verify/opened_revision.h"

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace corvane::verify {
namespace {

// Objects are small and scattered: a block a little larger than a page of
// memory serves a token run without copying what is not read.
constexpr std::size_t kBlockSize = 8 * 1024;

// qpdf's view of the first `end` bytes of a byte source, through one block
// kept in memory: qpdf reads a token at a time, so reading the source for
// each would cost a system call per token.
class RevisionInput final : public InputSource {
 public:
  RevisionInput(const ByteSource& file, std::uint64_t end, std::string name)
      : file_(file), end_(static_cast<qpdf_offset_t>(std::min(end, file.size()))), name_(std::move(name)) {}

  qpdf_offset_t findAndSkipNextEOL() override {
    char c = 0;
    while (position_ < end_) {
      if (!byte_at(position_, c)) break;
      if (c == '\r' || c == '\n') {
        const qpdf_offset_t eol = position_++;
        while (position_ < end_ && byte_at(position_, c) && (c == '\r' || c == '\n')) ++position_;
        return eol;
      }
      ++position_;
    }
    position_ = end_;
    return end_;
  }
  std::string const& getName() const override { return name_; }
  qpdf_offset_t tell() override { return position_; }
  void seek(qpdf_offset_t offset, int whence) override {
    qpdf_offset_t to = offset;
    if (whence == SEEK_END) to = end_ + offset;
    else if (whence == SEEK_CUR) to = position_ + offset;
    if (to < 0) throw std::runtime_error(name_ + ": seek before the start of the file");
    position_ = to;
  }
  void rewind() override { position_ = 0; }
  size_t read(char* buffer, size_t length) override {
    last_offset = position_;
    std::size_t done = 0;
    while (done < length && position_ < end_) {
      load(position_);
      const auto in_block = static_cast<std::size_t>(position_ - block_start_);
      const std::size_t n = std::min(length - done, block_.size() - in_block);
      std::copy_n(block_.data() + in_block, n, buffer + done);
      done += n;
      position_ += static_cast<qpdf_offset_t>(n);
    }
    return done;
  }
  void unreadCh(char) override {
    if (position_ > 0) --position_;
  }

 private:
  // Makes the block holding `offset` the current one; false when it cannot be read.
  bool load(qpdf_offset_t offset) {
    if (!block_.empty() && offset >= block_start_ && offset < block_start_ + static_cast<qpdf_offset_t>(block_.size()))
      return true;
    const qpdf_offset_t start = offset - offset % static_cast<qpdf_offset_t>(kBlockSize);
    const auto length = static_cast<std::size_t>(std::min<qpdf_offset_t>(kBlockSize, end_ - start));
    block_.resize(length);
    if (!file_.read(static_cast<std::uint64_t>(start), std::span(reinterpret_cast<std::uint8_t*>(block_.data()), length))) {
      block_.clear();
      throw std::runtime_error(name_ + ": the file cannot be read");
    }
    block_start_ = start;
    return true;
  }
  bool byte_at(qpdf_offset_t offset, char& c) {
    if (!load(offset)) return false;
    c = block_[static_cast<std::size_t>(offset - block_start_)];
    return true;
  }

  const ByteSource& file_;
  const qpdf_offset_t end_;
  const std::string name_;
  qpdf_offset_t position_ = 0;
  std::vector<char> block_;
  qpdf_offset_t block_start_ = 0;
};

}  // namespace

OpenedRevision::OpenedRevision(const ByteSource& file, std::uint64_t end, const std::string& password) : end_(end) {
  try {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processInputSource(std::make_shared<RevisionInput>(file, end, "revision ending at byte " + std::to_string(end)),
                            password.c_str());
    pdf_ = std::move(pdf);
  } catch (const QPDFExc& e) {
    problem_ = e.getErrorCode() == qpdf_e_password ? "the password is missing or wrong" : e.getMessageDetail();
  } catch (const std::exception& e) {
    problem_ = e.what();
  }
}

OpenedRevision::~OpenedRevision() = default;

long long last_section_offset(const ByteSource& file) {
  constexpr std::uint64_t kTail = 1024;
  const std::uint64_t start = file.size() > kTail ? file.size() - kTail : 0;
  std::string tail(static_cast<std::size_t>(file.size() - start), '\0');
  if (!file.read(start, std::span(reinterpret_cast<std::uint8_t*>(tail.data()), tail.size()))) return -1;
  const std::size_t keyword = tail.rfind("startxref");
  if (keyword == std::string::npos) return -1;
  std::size_t at = keyword + 9;
  while (at < tail.size() && (tail[at] == ' ' || tail[at] == '\r' || tail[at] == '\n')) ++at;
  long long offset = -1;
  for (; at < tail.size() && tail[at] >= '0' && tail[at] <= '9' && offset < (1LL << 50); ++at)
    offset = (offset < 0 ? 0 : offset * 10) + (tail[at] - '0');
  return offset;
}

}  // namespace corvane::verify
