#include "engine/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/safe_open.h"

namespace corvane::engine {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

// Reads exactly `length` bytes at `offset` unless the file ends first;
// the number read. Throws std::runtime_error on a read error.
std::size_t read_file_at(int fd, const std::string& name, char* buffer, std::size_t length,
                         qpdf_offset_t offset) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd, buffer + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::runtime_error(name + ": " + std::strerror(errno));
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace

FileSource::FileSource(const std::string& path) : name_(path), block_(kBlockSize) {
  // Never through another user's link, never waiting on a FIFO.
  std::string why;
  const int fd = platform::open_regular(path, O_RDONLY, 0, &why);
  if (fd < 0) throw std::runtime_error(name_ + ": " + why);
  take(fd);
}

FileSource::FileSource(int fd, std::string name, std::string_view tail)
    : name_(std::move(name)), tail_(tail), block_(kBlockSize) {
  take(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

void FileSource::take(int fd) {
  fd_ = fd;
  if (fd_ < 0) throw std::runtime_error(name_ + ": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd_);
    throw std::runtime_error(name_ + ": not a regular file");
  }
  file_size_ = status.st_size;
  size_ = file_size_ + static_cast<qpdf_offset_t>(tail_.size());
}

std::size_t FileSource::read_at(char* buffer, std::size_t length, qpdf_offset_t offset) const {
  std::size_t done = 0;
  if (offset < file_size_) {
    const auto in_file = static_cast<std::size_t>(std::min<qpdf_offset_t>(static_cast<qpdf_offset_t>(length), file_size_ - offset));
    done = read_file_at(fd_, name_, buffer, in_file, offset);
    if (done < in_file) return done;
  }
  const qpdf_offset_t at = offset + static_cast<qpdf_offset_t>(done) - file_size_;
  if (done < length && at < static_cast<qpdf_offset_t>(tail_.size())) {
    const std::size_t take = std::min(length - done, tail_.size() - static_cast<std::size_t>(at));
    std::memcpy(buffer + done, tail_.data() + at, take);
    done += take;
  }
  return done;
}

FileSource::~FileSource() { ::close(fd_); }

bool FileSource::load_block(qpdf_offset_t offset) {
  if (offset >= block_start_ && offset < block_start_ + block_length_) return true;
  if (offset >= size_) return false;
  block_start_ = offset;
  block_length_ = static_cast<qpdf_offset_t>(read_at(block_.data(), block_.size(), offset));
  return block_length_ > 0;
}

void FileSource::seek(qpdf_offset_t offset, int whence) {
  qpdf_offset_t target = offset;
  if (whence == SEEK_CUR) target += position_;
  if (whence == SEEK_END) target += size_;
  if (target < 0) throw std::runtime_error(name_ + ": seek before the start of the file");
  position_ = target;
}

size_t FileSource::read(char* buffer, size_t length) {
  last_offset = position_;
  if (position_ >= size_ || length == 0) return 0;
  length = static_cast<size_t>(std::min<qpdf_offset_t>(static_cast<qpdf_offset_t>(length), size_ - position_));
  std::size_t done = 0;
  if (length >= kBlockSize) {
    done = read_at(buffer, length, position_);
  } else {
    while (done < length && load_block(position_ + static_cast<qpdf_offset_t>(done))) {
      const qpdf_offset_t at = position_ + static_cast<qpdf_offset_t>(done) - block_start_;
      const std::size_t take =
          std::min(length - done, static_cast<std::size_t>(block_length_ - at));
      std::memcpy(buffer + done, block_.data() + at, take);
      done += take;
    }
  }
  position_ += static_cast<qpdf_offset_t>(done);
  return done;
}

void FileSource::unreadCh(char) {
  if (position_ > 0) --position_;
}

qpdf_offset_t FileSource::findAndSkipNextEOL() {
  while (load_block(position_)) {
    const char* start = block_.data() + (position_ - block_start_);
    const char* end = block_.data() + block_length_;
    const char* eol = std::find_if(start, end, [](char c) { return c == '\r' || c == '\n'; });
    if (eol == end) {
      position_ = block_start_ + block_length_;
      continue;
    }
    const qpdf_offset_t found = block_start_ + (eol - block_.data());
    position_ = found;
    char c = 0;
    while (read(&c, 1) == 1) {
      if (c != '\r' && c != '\n') {
        unreadCh(c);
        break;
      }
    }
    return found;
  }
  position_ = size_;
  return size_;
}

}  // namespace corvane::engine
