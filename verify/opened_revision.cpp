#include "verify/opened_revision.h"

#include <qpdf/QPDF.hh>

#include "verify/pdf_input.h"

namespace corvane::verify {

OpenedRevision::OpenedRevision(const platform::ByteSource& file, std::uint64_t end, const std::string& password) : end_(end) {
  OpenedPdf opened = open_pdf(file, end, password);
  pdf_ = std::move(opened.pdf);
  problem_ = std::move(opened.problem);
}

OpenedRevision::~OpenedRevision() = default;

long long last_section_offset(const platform::ByteSource& file) {
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
