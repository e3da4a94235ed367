#include "verify/pdf_input.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <span>
#include <stdexcept>

#include "platform/block_input.h"

namespace corvane::verify {

std::uint64_t readable_end(const platform::ByteSource& file, const std::vector<std::uint64_t>& revision_ends) {
  constexpr std::uint64_t kTail = 1024;
  if (revision_ends.empty()) return file.size();
  const std::uint64_t start = file.size() > kTail ? file.size() - kTail : 0;
  std::string tail(static_cast<std::size_t>(file.size() - start), '\0');
  const bool read = file.read(start, std::span(reinterpret_cast<std::uint8_t*>(tail.data()), tail.size()));
  return read && tail.find("startxref") != std::string::npos ? file.size() : revision_ends.back();
}

OpenedPdf open_pdf(const platform::ByteSource& file, std::uint64_t end, const std::string& password) {
  OpenedPdf opened;
  try {
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processInputSource(std::make_shared<platform::BlockInput>(file, end, "the document"),
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
