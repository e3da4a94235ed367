#include "tests/engine/engine_test_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>

namespace corvane::engine::test {

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

void open(QpdfEngine& engine, const std::filesystem::path& file, const std::string& password) {
  std::int32_t result = -1;
  EXPECT_TRUE(engine.OpenDocument(file.string(), result)) << file;
  EXPECT_EQ(result, 1) << file;
  if (password.empty()) return;
  EXPECT_TRUE(engine.SubmitPassword(password, result));
  EXPECT_GT(result, 0) << password;
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

std::optional<std::string> write_signed(PdfEngine& engine, const AddedObjectsFn& added, SignedLayout& layout) {
  const int fd = ::memfd_create("engine-test", MFD_CLOEXEC);
  std::optional<std::string> file;
  if (fd >= 0 && engine.WriteSignedDocument(added, fd, layout))
    file = read_file("/proc/self/fd/" + std::to_string(fd));
  if (fd >= 0) ::close(fd);
  return file;
}

std::string image_of(QpdfEngine& engine, SignedLayout* layout) {
  SignedLayout ignored;
  const auto file = write_signed(engine, stand_in_objects(), layout ? *layout : ignored);
  EXPECT_TRUE(file);
  return file.value_or("");
}

std::vector<std::string> layout_violations(const std::string& image) {
  std::vector<std::string> problems;
  const bool header_ok = image.size() > 15 && image.compare(0, 7, "%PDF-1.") == 0 &&
                         image[8] == '\n' && image[9] == '%' && image[14] == '\n' &&
                         std::all_of(image.begin() + 10, image.begin() + 14,
                                     [](char c) { return static_cast<unsigned char>(c) >= 128; });
  if (!header_ok) problems.push_back("header lines");
  // One classic table with an in-use entry for every object, then the trailer's lines in their fixed order.
  const std::size_t xref = image.rfind("\nxref\n");
  if (xref == std::string::npos) return {"no xref line"};
  const std::string tail = image.substr(xref + 1);
  if (tail.find('\0') != std::string::npos) problems.push_back("NUL byte from xref on");
  static const std::regex head("xref\n0 ([0-9]+)\n0000000000 65535 f \n");
  std::smatch table;
  if (!std::regex_search(tail, table, head, std::regex_constants::match_continuous)) return {"xref table head"};
  const int size = std::stoi(table[1]);
  const std::size_t entries = static_cast<std::size_t>(table.length()), trailer = entries + 20 * (size - 1);
  if (trailer > tail.size() || count_of(tail.substr(entries, trailer - entries), " 00000 n \n") != size - 1u)
    return {"xref entries"};
  static const std::regex trailer_lines(
      "trailer\n<<\n/Size ([0-9]+)\n/Root 1 0 R\n(/(Info|Encrypt) [0-9]+ 0 R\n|/ID \\[ <[0-9a-f]*> <[0-9a-f]*> \\]\n)*"
      ">>\nstartxref\n([0-9]+)\n%%EOF\n");
  std::smatch end;
  if (!std::regex_match(tail.begin() + static_cast<long>(trailer), tail.end(), end, trailer_lines) ||
      end[1] != table[1] || end[4] != std::to_string(xref + 1))
    problems.push_back("trailer: " + tail.substr(trailer));
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
