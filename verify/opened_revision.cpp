#include "verify/opened_revision.h"

#include <qpdf/QPDF.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "platform/block_input.h"
#include "verify/pdf_input.h"

namespace corvane::verify {
namespace {

// The table of `pdf` as one classic cross-reference section, or "" when a
// classic section cannot state it: objects in object streams, or two
// generations of one object number.
std::string as_one_section(QPDF& pdf, long long size) {
  std::string section = "xref\n";
  const std::map<QPDFObjGen, QPDFXRefEntry> table = pdf.getXRefTable();
  for (auto run = table.begin(); run != table.end();) {
    auto after = std::next(run);
    while (after != table.end() && after->first.getObj() == std::prev(after)->first.getObj() + 1) ++after;
    section += std::to_string(run->first.getObj()) + " " + std::to_string(std::distance(run, after)) + "\n";
    for (; run != after; ++run) {
      if (run->second.getType() != 1) return "";
      char line[32];
      std::snprintf(line, sizeof line, "%010lld %05d n \n", static_cast<long long>(run->second.getOffset()),
                    run->first.getGen());
      section += line;
    }
    if (after != table.end() && after->first.getObj() == std::prev(after)->first.getObj()) return "";
  }
  return section + "trailer\n<< /Size " + std::to_string(size) + " >>\n";
}

// Opens the first `end` bytes of `file` with qpdf parsing only the sections
// after `earlier` (whose file is `file`): while qpdf opens the document,
// the start of the earlier revision's last section reads as a section that
// points past the end, where the earlier revision's whole table is served
// as one section. The result is the plain opening's, or nullptr whenever
// that is not certain, and the caller opens it plainly: the earlier
// revision read with a warning or encrypted, its table not statable as one
// classic section, the chain not passing through the earlier section,
// any warning, an encrypted result, or an object qpdf may have read while
// the cover was in place.
std::unique_ptr<QPDF> open_after(const platform::ByteSource& file, std::uint64_t end, const OpenedRevision& earlier) {
  QPDF& before = earlier.pdf();
  if (before.anyWarnings() || before.isEncrypted() || earlier.end() >= end) return nullptr;
  const long long earlier_section = last_section_offset(file, earlier.end());
  QPDFObjectHandle size = before.getTrailer().getKey("/Size");
  if (earlier_section < 0 || !size.isInteger()) return nullptr;
  const std::string table = as_one_section(before, size.getIntValue());
  const std::string stub = "xref\n0 0\ntrailer\n<< /Size " + std::to_string(size.getIntValue()) + " /Prev " +
                           std::to_string(end) + " >>\n";
  // The stub stays out of the bytes qpdf reads before it follows any
  // offset: the header's kilobyte and the last 1054 bytes, where it looks
  // for "startxref".
  const auto stub_end = static_cast<std::uint64_t>(earlier_section) + stub.size();
  if (table.empty() || earlier_section < 1024 || stub_end > earlier.end() || stub_end + 1054 > end) return nullptr;

  auto input = std::make_shared<platform::BlockInput>(file, end, "the document");
  input->cover(earlier_section, stub, table);
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  try {
    pdf->processInputSource(input);
    const bool read_through_earlier = input->entered_cover();
    input->uncover();
    if (!read_through_earlier || pdf->anyWarnings() || pdf->isEncrypted()) return nullptr;
    QPDFObjectHandle prev = pdf->getTrailer().getKey("/Prev");
    if (prev.isInteger() && prev.getIntValue() == static_cast<long long>(end)) return nullptr;
    for (const auto& [object, entry] : pdf->getXRefTable()) {
      if (entry.getType() == 1 && (entry.getOffset() >= static_cast<qpdf_offset_t>(end) ||
                                   (entry.getOffset() >= earlier_section && entry.getOffset() < static_cast<qpdf_offset_t>(stub_end))))
        return nullptr;
    }
  } catch (const std::exception&) {
    return nullptr;
  }
  return pdf;
}

}  // namespace

OpenedRevision::OpenedRevision(const platform::ByteSource& file, std::uint64_t end, const std::string& password,
                               const OpenedRevision* earlier)
    : end_(end) {
  if (earlier && earlier->ok() && password.empty()) pdf_ = open_after(file, end, *earlier);
  took_earlier_table_ = pdf_ != nullptr;
  if (pdf_) return;
  OpenedPdf opened = open_pdf(file, end, password);
  pdf_ = std::move(opened.pdf);
  problem_ = std::move(opened.problem);
}

OpenedRevision::~OpenedRevision() = default;

long long last_section_offset(const platform::ByteSource& file, std::uint64_t end) {
  // The window and the reading are qpdf's: the last "startxref" in the last
  // 1054 bytes, followed by an integer that ends at a delimiter.
  constexpr std::uint64_t kWindow = 1054;
  end = std::min(end, file.size());
  const std::uint64_t start = end > kWindow ? end - kWindow : 0;
  std::string tail(static_cast<std::size_t>(end - start), '\0');
  if (!file.read(start, std::span(reinterpret_cast<std::uint8_t*>(tail.data()), tail.size()))) return -1;
  const std::size_t keyword = tail.rfind("startxref");
  if (keyword == std::string::npos) return -1;
  std::size_t at = keyword + 9;
  while (at < tail.size() && std::strchr(" \t\r\n\f", tail[at]) && tail[at] != '\0') ++at;
  long long offset = -1;
  for (; at < tail.size() && tail[at] >= '0' && tail[at] <= '9' && offset < (1LL << 50); ++at)
    offset = (offset < 0 ? 0 : offset * 10) + (tail[at] - '0');
  if (at < tail.size() && !std::strchr(" \t\r\n\f()<>[]{}/%", tail[at])) return -1;
  return offset;
}

}  // namespace corvane::verify
