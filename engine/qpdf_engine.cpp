#include "engine/qpdf_engine.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <stdexcept>
#include <utility>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QUtil.hh>

#include "engine/byte_image_writer.h"
#include "engine/byte_sink.h"
#include "engine/first_page.h"
#include "engine/text_stamp.h"
#include "platform/block_input.h"
#include "platform/safe_open.h"

namespace corvane::engine {

namespace {

constexpr std::int32_t kNotEncrypted = 0;
constexpr std::int32_t kStandardHandler = 1;
constexpr std::int32_t kOtherHandler = 2;
constexpr std::int32_t kRefused = 0;
constexpr std::int32_t kUserPassword = 1;
constexpr std::int32_t kOwnerPassword = 2;

std::unique_ptr<QPDF> new_qpdf() {
  auto qpdf = std::make_unique<QPDF>();
  qpdf->setSuppressWarnings(true);
  qpdf->setAttemptRecovery(true);
  return qpdf;
}

// The encryption a document that qpdf refused to open asks for: the
// standard handler for a password error, another handler when the
// encryption itself is not supported; nullopt when the file is no PDF.
std::optional<std::int32_t> encryption_of_refusal(const QPDFExc& error) {
  if (error.getErrorCode() == qpdf_e_password) return kStandardHandler;
  const std::string& detail = error.getMessageDetail();
  if (error.getErrorCode() == qpdf_e_unsupported && detail.find("encryption") != std::string::npos) {
    return detail.find("filter") != std::string::npos ? kOtherHandler : kStandardHandler;
  }
  return std::nullopt;
}

// Returns the freed pages of the heap to the system: a parsed document is
// many small blocks, which the allocator would otherwise keep. Under
// AddressSanitizer the heap is the sanitizer's, and glibc's trim would walk
// arenas nobody set up.
void give_back_free_memory() noexcept {
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
  ::malloc_trim(0);
#endif
}

}  // namespace

QpdfEngine::QpdfEngine() = default;
QpdfEngine::~QpdfEngine() {
  qpdf_.reset();  // before the file it may read from
  if (releaser_.joinable()) releaser_.join();
  close_source();
}

void QpdfEngine::let_go(std::unique_ptr<QPDF> qpdf) noexcept {
  if (releaser_.joinable()) releaser_.join();
  auto release = [pdf = std::move(qpdf)]() mutable noexcept {
    pdf.reset();
    give_back_free_memory();
  };
  try {
    releaser_ = std::thread(std::move(release));
  } catch (...) {
    release();  // no thread to be had: let go of it here
  }
}

void QpdfEngine::close_source() noexcept {
  if (source_fd_ >= 0) ::close(source_fd_);
  source_fd_ = -1;
  stamps_.clear();
}

template <class Body>
bool QpdfEngine::guarded(const char* operation, Body&& body) noexcept {
  bool ok = false;
  try {
    ok = body();
  } catch (const std::exception& e) {
    note(std::string(operation) + ": " + e.what());
  } catch (...) {
    note(std::string(operation) + ": unknown error");
  }
  collect_warnings();
  return ok;
}

void QpdfEngine::note(std::string text) noexcept {
  try {
    diagnostics_.push_back(std::move(text));
  } catch (...) {
  }
}

void QpdfEngine::collect_warnings() noexcept {
  if (!qpdf_) return;
  try {
    for (const auto& warning : qpdf_->getWarnings()) note(std::string("qpdf: ") + warning.what());
  } catch (...) {
  }
}

std::unique_ptr<QPDF> QpdfEngine::open_source(const std::string& password) {
  if (source_fd_ < 0) {
    // Never through another user's link, never waiting on a FIFO.
    std::string why;
    source_fd_ = platform::open_regular(path_, O_RDONLY, 0, &why);
    if (source_fd_ < 0) throw std::runtime_error(path_ + ": " + why);
  }
  auto qpdf = new_qpdf();
  qpdf->processInputSource(platform::file_input(source_fd_, path_), password.c_str());
  qpdf->getRoot();
  return qpdf;
}

void QpdfEngine::adopt(std::unique_ptr<QPDF> qpdf, const std::string& password) {
  std::optional<KeptEncryption> kept = keep_encryption(*qpdf);
  qpdf_ = std::move(qpdf);
  opened_ = true;
  awaiting_password_ = false;
  password_ = password;
  if (kept) {
    encryption_ = kStandardHandler;
    kept_ = std::move(kept);
    write_encrypted_ = true;
  } else {
    encryption_ = kNotEncrypted;
  }
}

QPDF& QpdfEngine::document() {
  if (!opened_) {
    throw std::runtime_error(awaiting_password_ ? "the document awaits its password"
                                                : "no document is open");
  }
  if (!qpdf_) {
    if (releaser_.joinable()) releaser_.join();
    qpdf_ = open_source(password_);
    for (const Stamp& stamp : stamps_) {
      add_text_stamp(*qpdf_, find_first_page(*qpdf_), stamp.box, stamp.text, stamp.opacity);
    }
  }
  return *qpdf_;
}

bool QpdfEngine::OpenDocument(const std::string& path, std::int32_t& result) {
  return guarded("OpenDocument", [&] {
    qpdf_.reset();
    close_source();
    path_ = path;
    opened_ = false;
    awaiting_password_ = false;
    encryption_ = kNotEncrypted;
    password_.clear();
    kept_.reset();
    write_encrypted_ = false;
    std::unique_ptr<QPDF> qpdf;
    try {
      qpdf = open_source("");
    } catch (const QPDFExc& error) {
      if (auto encryption = encryption_of_refusal(error)) {
        awaiting_password_ = true;
        encryption_ = *encryption;
        result = 1;
        return true;
      }
      note(std::string("OpenDocument: ") + error.what());
      result = 0;
      return true;
    } catch (const std::exception& error) {
      note(std::string("OpenDocument: ") + error.what());
      result = 0;
      return true;
    }
    adopt(std::move(qpdf), "");
    result = 1;
    return true;
  });
}

bool QpdfEngine::GetEncryption(std::int32_t& result) {
  return guarded("GetEncryption", [&] {
    if (!awaiting_password_) document();
    result = encryption_;
    return true;
  });
}

bool QpdfEngine::RemoveEncryption() {
  return guarded("RemoveEncryption", [&] {
    document();
    write_encrypted_ = false;
    return true;
  });
}

bool QpdfEngine::SubmitPassword(const std::string& password, std::int32_t& result) {
  return guarded("SubmitPassword", [&] {
    if (!opened_ && !awaiting_password_) throw std::runtime_error("no document is open");
    std::vector<std::string> candidates{password};
    std::string single_byte;
    if (QUtil::utf8_to_pdf_doc(password, single_byte) && single_byte != password) {
      candidates.push_back(single_byte);
    }
    for (const auto& candidate : candidates) {
      std::unique_ptr<QPDF> qpdf;
      try {
        qpdf = open_source(candidate);
      } catch (const QPDFExc& error) {
        if (error.getErrorCode() == qpdf_e_password) continue;
        throw;
      }
      const bool owner = qpdf->ownerPasswordMatched();
      const bool user = qpdf->userPasswordMatched();
      if (qpdf->isEncrypted() && !owner && !user) continue;
      adopt(std::move(qpdf), candidate);
      stamps_.clear();
      result = owner ? kOwnerPassword : kUserPassword;
      return true;
    }
    note("SubmitPassword: the password was refused");
    result = kRefused;
    return true;
  });
}

bool QpdfEngine::GetPageWidth(double& result) {
  return guarded("GetPageWidth", [&] {
    result = first_page_shown_size(document()).width;
    return true;
  });
}

bool QpdfEngine::GetPageHeight(double& result) {
  return guarded("GetPageHeight", [&] {
    result = first_page_shown_size(document()).height;
    return true;
  });
}

bool QpdfEngine::SetWorkingMode(std::int32_t mode) {
  return guarded("SetWorkingMode", [&] {
    if (mode != 0) throw std::invalid_argument("only mode 0 (the first page) is known");
    return true;
  });
}

bool QpdfEngine::WriteSignedDocument(const AddedObjectsFn& added, int fd, SignedLayout& layout) {
  return guarded("WriteSignedDocument", [&] {
    QPDF& qpdf = document();
    ImageOptions options;
    options.encryption = write_encrypted_ && kept_ ? &*kept_ : nullptr;
    options.release_written = true;
    SignedLayout written;
    try {
      written = write_signed_image(qpdf, find_first_page(qpdf), options, added, fd);
    } catch (const FileWriteFailed& error) {
      layout.file_error = error.error();
      qpdf_.reset();
      throw;
    } catch (...) {
      // The half-written document is emptied: it is read again when needed.
      qpdf_.reset();
      throw;
    }
    // Writing emptied the parsed document; it is let go of (and what it
    // took handed back to the system) beside the rest of the run.
    let_go(std::move(qpdf_));
    encryption_ = options.encryption ? kStandardHandler : kNotEncrypted;
    layout = written;
    return true;
  });
}

bool QpdfEngine::AddTextStamp(double x, double y, double width, double height,
                              const std::string& text, std::int32_t opacity) {
  return guarded("AddTextStamp", [&] {
    QPDF& qpdf = document();
    const StampBox box{x, y, width, height};
    add_text_stamp(qpdf, find_first_page(qpdf), box, text, opacity);
    stamps_.push_back({box, text, opacity});
    return true;
  });
}

bool QpdfEngine::CommitChanges() {
  return guarded("CommitChanges", [&] {
    document();
    return true;
  });
}

bool QpdfEngine::GetEncryptionSettings(std::string& result) {
  return guarded("GetEncryptionSettings", [&] {
    document();
    if (!kept_) throw std::runtime_error("the document is not encrypted");
    result = describe(*kept_);
    return true;
  });
}

bool QpdfEngine::SetEncryptionSettings(const std::string& settings) {
  return guarded("SetEncryptionSettings", [&] {
    document();
    if (!kept_ || settings != describe(*kept_)) {
      throw std::invalid_argument("the settings do not describe this document's encryption");
    }
    write_encrypted_ = true;
    return true;
  });
}

bool QpdfEngine::EncryptString(std::int32_t number, const std::string& plain, std::string& result) {
  return guarded("EncryptString", [&] {
    if (!write_encrypted_ || !kept_) throw std::runtime_error("the document is written unencrypted");
    const std::string cipher_text =
        encrypt(kept_->strings, object_key(*kept_, kept_->strings, number), plain);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(cipher_text.size() * 2);
    for (const char c : cipher_text) {
      hex += kDigits[static_cast<unsigned char>(c) >> 4];
      hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    result = std::move(hex);
    return true;
  });
}

std::vector<std::string> QpdfEngine::FieldNames() {
  std::vector<std::string> names;
  (void)guarded("FieldNames", [&] {
    // Each value is checked before a key is asked of it: qpdf warns of a key
    // asked of anything but a dictionary.
    QPDFObjectHandle form = document().getRoot().getKey("/AcroForm");
    QPDFObjectHandle fields = form.isDictionary() ? form.getKey("/Fields") : QPDFObjectHandle::newNull();
    if (!fields.isArray()) return true;
    for (QPDFObjectHandle field : fields.aitems())
      if (field.isDictionary() && field.getKey("/T").isString()) names.push_back(field.getKey("/T").getUTF8Value());
    return true;
  });
  return names;
}

std::vector<std::string> QpdfEngine::TakeDiagnostics() {
  std::vector<std::string> taken;
  taken.swap(diagnostics_);
  return taken;
}

}  // namespace corvane::engine
