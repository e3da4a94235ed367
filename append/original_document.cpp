#include "append/original_document.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include "platform/atomic_file.h"
#include "platform/block_input.h"
#include "platform/safe_open.h"

namespace corvane::append {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;
// startxref, its number and %%EOF stand in the file's last bytes.
constexpr std::size_t kTailSize = 1024;
constexpr std::string_view kStartXref = "startxref";

bool read_at(int fd, char* buffer, std::size_t length, std::int64_t offset, std::size_t& got) {
  got = 0;
  while (got < length) {
    const ssize_t n = ::pread(fd, buffer + got, length - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// A read-only descriptor of the regular file at `path`, or -1 with `why`.
int open_regular_file(const std::string& path, platform::Refusal& why) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) {
    why = {errno == ENOENT ? platform::ErrorCode::kNoSuchFile : platform::ErrorCode::kFailed,
           "the document cannot be read: " + std::string(std::strerror(errno))};
    return -1;
  }
  if (S_ISLNK(link.st_mode) && link.st_uid != ::geteuid()) {
    why = "the document is a symbolic link of another user";
    return -1;
  }
  if (!platform::folders_trusted(path)) {
    why = "the document's folder is a symbolic link of another user";
    return -1;
  }
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    why = fd < 0 ? "the document cannot be read: " + std::string(std::strerror(errno))
                 : "the document is not a regular file";
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

// Reads up to `length` bytes at `offset` of `source`; the number read.
// Throws what the source throws.
std::size_t read_source_at(InputSource& source, char* buffer, std::size_t length, std::int64_t offset) {
  source.seek(offset, SEEK_SET);
  std::size_t got = 0;
  while (got < length) {
    const std::size_t n = source.read(buffer + got, length - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

// The document's size, whether it ends with a line end, and where and how
// its last cross-reference section is written; false when startxref does
// not name a section. Throws what the source throws.
bool read_last_section(InputSource& source, UpdateBase& base) {
  source.seek(0, SEEK_END);
  base.file_size = source.tell();
  const std::int64_t tail_at = std::max<std::int64_t>(0, base.file_size - static_cast<std::int64_t>(kTailSize));
  std::string tail(static_cast<std::size_t>(base.file_size - tail_at), '\0');
  if (tail.empty() || read_source_at(source, tail.data(), tail.size(), tail_at) != tail.size()) return false;
  base.ends_with_eol = tail.back() == '\n' || tail.back() == '\r';

  const std::size_t keyword = tail.rfind(kStartXref);
  if (keyword == std::string::npos) return false;
  std::size_t at = keyword + kStartXref.size();
  while (at < tail.size() && std::strchr(" \t\r\n\f", tail[at]) != nullptr) ++at;
  std::int64_t offset = 0;
  std::size_t digits = 0;
  for (; at < tail.size() && tail[at] >= '0' && tail[at] <= '9' && digits < 15; ++at, ++digits)
    offset = offset * 10 + (tail[at] - '0');
  if (digits == 0 || offset >= base.file_size) return false;
  base.last_xref = offset;

  char head[32] = {};
  const std::string_view start(head, read_source_at(source, head, sizeof head, offset));
  if (start.starts_with("xref")) {
    base.xref_kind = XrefKind::kTable;
    return true;
  }
  if (!start.empty() && start.front() >= '0' && start.front() <= '9' && start.find("obj") != std::string_view::npos) {
    base.xref_kind = XrefKind::kStream;
    return true;
  }
  return false;
}

// A trailer value as PDF text: a reference for an indirect object, else the
// value itself (never encrypted in a trailer); "" when absent.
std::string trailer_text(QPDFObjectHandle trailer, const char* key) {
  QPDFObjectHandle value = trailer.getKey(key);
  if (value.isNull()) return {};
  if (value.isIndirect()) return value.getObjGen().unparse(' ') + " R";
  return value.unparse();
}

std::unique_ptr<QPDF> read_document(const std::function<std::shared_ptr<InputSource>()>& make_source, const std::string& password) {
  auto qpdf = std::make_unique<QPDF>();
  qpdf->setSuppressWarnings(true);
  // A file whose table qpdf would have to rebuild cannot be appended to:
  // its offsets are not where the file says.
  qpdf->setAttemptRecovery(false);
  qpdf->processInputSource(make_source(), password.c_str());
  return qpdf;
}

// The first number new objects may take: above the trailer's `size` and
// above the highest number any cross-reference section lists (qpdf reads
// every section of the chain, tables and streams, into one table). A
// damaged /Size only makes qpdf warn, and numbering from it would give a
// new object the number of a live one, which readers then take instead.
// Throws what qpdf throws.
std::int32_t first_new_number(QPDF& qpdf, std::int32_t size) {
  const std::map<QPDFObjGen, QPDFXRefEntry> table = qpdf.getXRefTable();
  const std::int32_t highest = table.empty() ? 0 : table.rbegin()->first.getObj();
  return std::max(size, highest + 1);
}

constexpr const char* kDamaged =
    "its cross-reference is damaged and would have to be reconstructed; "
    "rewrite it first (sign --rebuild rewrites it as it signs)";

}  // namespace

std::unique_ptr<OriginalDocument> OriginalDocument::open(const std::string& path, const std::string& password,
                                                         platform::Refusal& why) {
  std::unique_ptr<OriginalDocument> document(new OriginalDocument());
  document->fd_ = open_regular_file(path, why);
  if (document->fd_ < 0) return nullptr;
  const int fd = document->fd_;
  if (!document->read(password, [fd, path] { return platform::file_input(fd, path); }, why))
    return nullptr;
  return document;
}

std::unique_ptr<OriginalDocument> OriginalDocument::with_update(std::string_view update, const std::string& password,
                                                                std::string& why) const {
  std::unique_ptr<OriginalDocument> document(new OriginalDocument());
  const int fd = fd_;
  platform::Refusal refusal;
  if (!document->read(password, [fd, update] { return platform::file_input(fd, "the signed file", update); },
                      refusal)) {
    why = refusal.message();
    return nullptr;
  }
  return document;
}

std::unique_ptr<OriginalDocument> OriginalDocument::of_descriptor(int fd, const std::string& password,
                                                                  std::string& why) {
  std::unique_ptr<OriginalDocument> document(new OriginalDocument());
  document->fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (document->fd_ < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  const int own = document->fd_;
  platform::Refusal refusal;
  if (!document->read(password, [own] { return platform::file_input(own, "the signed file"); }, refusal)) {
    why = refusal.message();
    return nullptr;
  }
  return document;
}

bool OriginalDocument::read(const std::string& password, const SourceMaker& make_source, platform::Refusal& why) {
  using platform::ErrorCode;
  std::vector<std::string> candidates{password};
  std::string single_byte;
  if (QUtil::utf8_to_pdf_doc(password, single_byte) && single_byte != password) candidates.push_back(single_byte);
  try {
    if (!read_last_section(*make_source(), base_)) {
      why = {ErrorCode::kDocumentLayout, std::string("the document cannot be appended to: ") + kDamaged};
      return false;
    }
    for (const std::string& candidate : candidates) {
      try {
        auto qpdf = read_document(make_source, candidate);
        if (qpdf->isEncrypted() && !qpdf->ownerPasswordMatched() && !qpdf->userPasswordMatched()) continue;
        qpdf_ = std::move(qpdf);
        break;
      } catch (const QPDFExc& error) {
        if (error.getErrorCode() != qpdf_e_password) throw;
      }
    }
    if (!qpdf_) {
      why = {password.empty() ? ErrorCode::kPasswordMissing : ErrorCode::kPasswordRefused,
             "the document's password was refused"};
      return false;
    }
    encryption_ = engine::keep_encryption(*qpdf_);
    QPDFObjectHandle trailer = qpdf_->getTrailer();
    QPDFObjectHandle size = trailer.getKey("/Size");
    const std::int32_t trailer_size = size.isInteger() ? size.getIntValueAsInt() : 0;
    base_.root = trailer_text(trailer, "/Root");
    base_.info = trailer_text(trailer, "/Info");
    base_.encrypt = trailer_text(trailer, "/Encrypt");
    base_.id = trailer_text(trailer, "/ID");
    if (trailer_size <= 0 || base_.root.empty()) {
      why = {ErrorCode::kDocumentLayout, "the document's trailer has no /Size or no /Root"};
      return false;
    }
    base_.first_new_number = first_new_number(*qpdf_, trailer_size);
    // What qpdf said while opening (a /Size below the highest number) is
    // taken care of; later warnings are objects that cannot be read.
    (void)qpdf_->getWarnings();
  } catch (const std::exception& error) {
    why = {ErrorCode::kDocumentLayout, std::string("the document cannot be appended to (") + error.what() + "): " + kDamaged};
    return false;
  }
  return true;
}

std::string OriginalDocument::damage() {
  if (!qpdf_ || !qpdf_->anyWarnings()) return {};
  // Only damage counts: qpdf also warns of a key asked of a value that is
  // no dictionary, which the reading code expects.
  for (const QPDFExc& warning : qpdf_->getWarnings())
    if (warning.getErrorCode() == qpdf_e_damaged_pdf)
      return std::string("the document cannot be appended to (") + warning.what() + "): " + kDamaged;
  return {};
}

OriginalDocument::~OriginalDocument() {
  qpdf_.reset();
  if (fd_ >= 0) ::close(fd_);
}

bool OriginalDocument::read_blocks(const std::function<void(std::span<const std::uint8_t>)>& sink) const {
  if (fd_ < 0) return false;
  std::vector<char> block(kBlockSize);
  std::int64_t at = 0;
  while (at < base_.file_size) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kBlockSize, base_.file_size - at));
    std::size_t got = 0;
    if (!read_at(fd_, block.data(), want, at, got) || got != want) return false;
    sink(std::span(reinterpret_cast<const std::uint8_t*>(block.data()), got));
    at += static_cast<std::int64_t>(got);
  }
  return true;
}

bool OriginalDocument::copy_to(int out) const {
  if (fd_ < 0) return false;
  off_t at = 0;
  while (at < base_.file_size) {
    const ssize_t n = ::sendfile(out, fd_, &at, static_cast<std::size_t>(base_.file_size - at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
  }
  if (at == base_.file_size) return true;
  // Where the kernel cannot copy, the bytes go through a block buffer.
  std::vector<char> block(kBlockSize);
  while (at < base_.file_size) {
    std::size_t got = 0;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kBlockSize, base_.file_size - at));
    if (!read_at(fd_, block.data(), want, at, got) || got != want) return false;
    if (!platform::write_all(out, std::string_view(block.data(), got))) return false;
    at += static_cast<off_t>(got);
  }
  return true;
}

}  // namespace corvane::append
