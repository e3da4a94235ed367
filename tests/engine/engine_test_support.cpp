#include "tests/engine/engine_test_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace corvane::engine::test {

namespace {

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Checks the body of object `number` (between its header and "endobj").
void check_body(int number, const std::string& body, std::vector<std::string>& problems) {
  const std::string where = "object " + std::to_string(number) + ": ";
  if (body.rfind("<<\n", 0) != 0) {
    if (body.find('\n') != body.size() - 1) problems.push_back(where + "value is not one line");
    return;
  }
  std::size_t at = 3;
  long long length = -1;
  while (true) {
    const std::size_t end = body.find('\n', at);
    if (end == std::string::npos) {
      problems.push_back(where + "dictionary not closed");
      return;
    }
    const std::string line = body.substr(at, end - at);
    at = end + 1;
    if (line == ">>") break;
    if (line.empty() || line[0] != '/' || line.find(' ') == std::string::npos)
      problems.push_back(where + "not an entry line: " + line);
    if (line.rfind("/Length ", 0) == 0) length = std::stoll(line.substr(8));
  }
  const std::string rest = body.substr(at);
  if (rest.empty()) return;
  if (rest.rfind("stream\n", 0) != 0 || length < 0 ||
      rest.size() != 7 + static_cast<std::size_t>(length) + 11 ||
      rest.compare(7 + length, 11, "\nendstream\n") != 0)
    problems.push_back(where + "stream data does not match its /Length");
}

}  // namespace

std::filesystem::path written(const std::filesystem::path& file, const std::string& bytes) {
  write_file(file, bytes);
  return file;
}

std::string odd_pdf(bool rotated) {
  const std::string box = rotated ? "/CropBox [ 10 10 410 610 ] /Rotate 90 " : "";
  return make_pdf({
      "<< /Type /Catalog /Pages 2 0 R /AcroForm 6 0 R >>",
      "<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] " + box +
          "/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R /Annots 7 0 R "
          "/PieceInfo << /Cv << /Private <00ff0a28> >> >> >>",
      pdf_stream("2 0 0 2 30 30 cm 1 0 0 rg BT /F1 12 Tf 10 10 Td (Odd page) Tj ET"),
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
      "<< /Fields [ 8 0 R 99 0 R ] /NeedAppearances true /DA (/Helv 0 Tf 0 g) >>",
      "[ << /Type /Annot /Subtype /Link /Rect [ 10 10 50 50 ] /Border [ 0 0 0 ] >> 8 0 R ]",
      "<< /Type /Annot /Subtype /Widget /FT /Tx /T (Name) /V (Alex) /Rect [ 100 100 200 120 ] "
      "/P 3 0 R >>",
  });
}

std::filesystem::path qpdf_made(const std::filesystem::path& out, const std::string& arguments) {
  const auto made = run_command("qpdf " + arguments + " " + shell_quote(out.string()));
  EXPECT_TRUE(made.exit_code == 0 || made.exit_code == 3) << arguments << "\n" << made.output;
  return out;
}

void open(QpdfEngine& engine, const std::filesystem::path& file) {
  std::int32_t result = -1;
  EXPECT_TRUE(engine.OpenDocument(file.string(), result)) << file;
  EXPECT_EQ(result, 1) << file;
}

AddedObjectsFn stand_in_objects() {
  return [](std::int32_t n) {
    const std::string field = std::to_string(n) + " 0 obj\n<<\n/FT /Sig\n/P 2 0 R\n/Rect [ 0 0 0 0 ]\n"
                              "/Subtype /Widget\n/T (Stand-in)\n/Type /Annot\n/V " + std::to_string(n + 1) +
                              " 0 R\n>>\nendobj\n";
    const std::string head = std::to_string(n + 1) + " 0 obj\n<<\n/Contents ";
    AddedObjects objects;
    objects.slot_at = field.size() + head.size();
    objects.slot_width = 4;
    objects.byte_range_at = objects.slot_at + 8;
    objects.objects = {field, head + "<0000> \n/ByteRange [0 0 0 0]\n/Filter /Adobe.PPKLite\n/Type /Sig\n>>\nendobj\n"};
    return std::optional(objects);
  };
}

bool write_signed(PdfEngine& engine, const AddedObjectsFn& added, std::vector<std::uint8_t>& file,
                  SignedLayout& layout) {
  const int fd = ::memfd_create("engine-test", MFD_CLOEXEC);
  if (fd < 0 || !engine.WriteSignedDocument(added, fd, layout)) {
    if (fd >= 0) ::close(fd);
    return false;
  }
  file.assign(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), 0);
  const bool read = ::pread(fd, file.data(), file.size(), 0) == static_cast<ssize_t>(file.size());
  ::close(fd);
  EXPECT_TRUE(read);
  return true;
}

std::string image_of(QpdfEngine& engine, SignedLayout* layout) {
  std::vector<std::uint8_t> bytes;
  SignedLayout written;
  EXPECT_TRUE(write_signed(engine, stand_in_objects(), bytes, written));
  if (layout) *layout = written;
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> layout_violations(const std::string& image) {
  std::vector<std::string> problems;
  const bool header_ok = image.size() > 15 && image.compare(0, 7, "%PDF-1.") == 0 &&
                         image[8] == '\n' && image[9] == '%' && image[14] == '\n' &&
                         std::all_of(image.begin() + 10, image.begin() + 14,
                                     [](char c) { return static_cast<unsigned char>(c) >= 128; });
  if (!header_ok) problems.push_back("header lines");
  const std::size_t xref = image.rfind("\nxref\n");
  if (xref == std::string::npos) return {"no xref line"};
  const std::string tail = image.substr(xref + 1);
  if (tail.find('\0') != std::string::npos) problems.push_back("NUL byte from xref on");
  const std::vector<std::string> lines = split_lines(tail);
  if (lines.size() < 12 || lines[0] != "xref" || lines[1].rfind("0 ", 0) != 0 || lines[2] != "0000000000 65535 f ")
    return {"xref table head"};
  const int size = std::stoi(lines[1].substr(2));
  if (lines.size() < static_cast<std::size_t>(size) + 10) return {"xref table too short"};
  static const std::regex entry("[0-9]{10} 00000 n ");
  std::vector<std::size_t> offsets;
  for (int k = 1; k < size; ++k) {
    const std::string& line = lines[2 + k];
    if (!std::regex_match(line, entry)) problems.push_back("xref entry " + line);
    offsets.push_back(std::stoull(line.substr(0, 10)));
  }
  std::size_t i = 2 + size;
  for (const std::string& want : {std::string("trailer"), std::string("<<"), "/Size " + std::to_string(size),
                                   std::string("/Root 1 0 R")})
    if (lines[i++] != want) problems.push_back("trailer line " + lines[i - 1] + ", not " + want);
  static const std::regex optional_line("/(Info [0-9]+ 0 R|Encrypt [0-9]+ 0 R|ID \\[ <[0-9a-f]*> <[0-9a-f]*> \\])");
  while (i < lines.size() && lines[i] != ">>") {
    if (!std::regex_match(lines[i], optional_line)) problems.push_back("trailer line " + lines[i]);
    ++i;
  }
  const std::string end = ">>\nstartxref\n" + std::to_string(xref + 1) + "\n%%EOF\n";
  if (tail.size() < end.size() || tail.compare(tail.size() - end.size(), end.size(), end) != 0 ||
      i + 4 != lines.size())
    problems.push_back("trailer end");
  // Objects follow each other in the order of their numbers, except the catalog: it comes before the two added ones.
  std::vector<int> order;
  for (int k = 2; k < size - 2; ++k) order.push_back(k);
  order.insert(order.end(), {1, size - 2, size - 1});
  for (std::size_t n = 0; n < order.size(); ++n) {
    const int k = order[n];
    const std::size_t at = offsets[k - 1];
    const std::string header = std::to_string(k) + " 0 obj\n";
    const std::size_t next = n + 1 < order.size() ? offsets[order[n + 1] - 1] : xref + 1;
    if (at == 0 || next <= at || image[at - 1] != '\n' || image.compare(at, header.size(), header) != 0) {
      problems.push_back("object " + std::to_string(k) + " header not where the table says");
      continue;
    }
    const std::string text = image.substr(at, next - at);
    if (text.size() < header.size() + 7 || text.compare(text.size() - 7, 7, "endobj\n") != 0) {
      problems.push_back("object " + std::to_string(k) + " does not end with endobj");
      continue;
    }
    check_body(k, text.substr(header.size(), text.size() - header.size() - 7), problems);
  }
  const std::string catalog = object_text(image, 1);
  const std::string field = std::to_string(size - 2);
  const std::regex form("\n/AcroForm << .*/Fields \\[ ([0-9]+ 0 R )*" + field + " 0 R \\] .*/SigFlags 3 .*>>\n");
  if (catalog.find("\n/Type /Catalog\n") == std::string::npos || !std::regex_search(catalog, form) ||
      catalog.find("/NeedAppearances") != std::string::npos)
    problems.push_back("catalog does not announce field " + field + ": " + catalog);
  const std::string page = object_text(image, 2);
  const std::regex annots("\n/Annots \\[ ([0-9]+ 0 R )*" + field + " 0 R \\]\n");
  if (page.find("\n/Type /Page\n") == std::string::npos || page.find('\0') != std::string::npos ||
      !std::regex_search(page, annots))
    problems.push_back("page object: " + page);
  return problems;
}

}  // namespace corvane::engine::test
