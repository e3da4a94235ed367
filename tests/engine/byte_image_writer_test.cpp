// The signed layout: every kind of input gives a valid PDF in the fixed layout, its first page as object 2,
// with the added objects where the writer says, with the same text, and the same bytes again from the
// engine's document after a write.
#include "engine/byte_image_writer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "tests/engine/engine_test_support.h"

namespace corvane::engine::test {
namespace {

struct Input {
  const char* name;
  std::function<std::filesystem::path(const ScratchDir&)> make;
  const char* password = "";
  const char* text = nullptr;  // what the image shows where poppler cannot read the source at all
  std::vector<std::string> page = {}, catalog = {};  // what objects 2 and 1 of the image show (regexes)
  const char* read_back = nullptr;                    // part of the first page as qpdf reads it from the image
};

// The page's link and widget annotations, then the new field.
constexpr char kTwoAnnotsAndTheField[] = "\n/Annots \\[ [0-9]+ 0 R [0-9]+ 0 R [0-9]+ 0 R \\]\n";
constexpr char kOneAnnotAndTheField[] = "\n/Annots \\[ [0-9]+ 0 R [0-9]+ 0 R \\]\n";
constexpr char kTextAnnotation[] = "<< /Type /Annot /Subtype /Text /Rect [ 10 10 20 20 ] >>";

// A one-page document whose page has `page_extra`, with `objects` numbered from 5 on.
std::filesystem::path annots_page(const ScratchDir& dir, const std::string& page_extra,
                                  const std::vector<std::string>& objects = {}) {
  std::vector<std::string> all = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 300 300 ] /Contents 4 0 R " + page_extra + " >>",
      pdf_stream("BT /F1 24 Tf 72 720 Td (Annots page) Tj ET")};
  all.insert(all.end(), objects.begin(), objects.end());
  return written(dir / "annots.pdf", make_pdf(all));
}

std::function<std::filesystem::path(const ScratchDir&)> fixture(const char* name) {
  return [name](const ScratchDir&) { return fixture_pdf(name); };
}

const std::vector<Input>& inputs() {
  static const std::vector<Input> all = {
      {"plain", fixture("plain.pdf")},
      {.name = "inherited boxes, form, link",
       .make = fixture("annots-form.pdf"),
       .page = {kTwoAnnotsAndTheField},
       .catalog = {"/Fields \\[ [0-9]+ 0 R [0-9]+ 0 R \\]"}},
      {"ghostscript", fixture("ghostscript.pdf")},
      {"object streams", fixture("xref-stream.pdf")},
      {"linearized", [](const ScratchDir& d) {
         return qpdf_made(d / "lin.pdf", "--linearize " + fixture_pdf("ghostscript.pdf").string());
       }},
      {"incremental update", [](const ScratchDir& d) {
         return written(d / "update.pdf",
                        with_update(read_file(fixture_pdf("plain.pdf")),
                                    {{4, pdf_stream("BT /F1 24 Tf 72 720 Td (Updated page) Tj ET")},
                                     {7, "<< /Title (Updated) >>"}},
                                    "/Info 7 0 R"));
       }},
      // The indirect /Annots array is inlined, its direct link annotation becomes an object of its own and the
      // binary string is hex; the field referring to a missing object is dropped, /DA stays.
      {.name = "odd structure",
       .make = [](const ScratchDir& d) { return written(d / "odd.pdf", odd_pdf(/*rotated=*/false)); },
       .page = {kTwoAnnotsAndTheField, "/PieceInfo << /Cv << /Private <00ff0a28> >> >>\n"},
       .catalog = {"/AcroForm << /DA \\(/Helv 0 Tf 0 g\\) /Fields \\[ [0-9]+ 0 R [0-9]+ 0 R \\] /SigFlags 3 >>"}},
      {"first branch of the page tree without pages", [](const ScratchDir& d) {
         return written(d / "tree.pdf",
                        make_pdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                  "<< /Type /Pages /Kids [ 3 0 R 4 0 R ] /Count 1 >>",
                                  "<< /Type /Pages /Kids [ ] /Count 0 /Parent 2 0 R >>",
                                  "<< /Type /Pages /Kids [ 5 0 R ] /Count 1 /Parent 2 0 R >>",
                                  "<< /Type /Page /Parent 4 0 R /MediaBox [ 0 0 300 300 ] "
                                  "/Resources << /Font << /F1 7 0 R >> >> /Contents 6 0 R >>",
                                  pdf_stream("BT /F1 24 Tf 72 720 Td (Deep first page) Tj ET"), kHelvetica}));
       }},
      {"first page written directly into its parent", [](const ScratchDir& d) {
         return written(d / "direct.pdf",
                        make_pdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                  "<< /Type /Pages /Kids [ << /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] "
                                  "/Resources << /Font << /F1 4 0 R >> >> /Contents 3 0 R >> ] /Count 1 >>",
                                  pdf_stream("BT /F1 24 Tf 72 720 Td (Direct page) Tj ET"), kHelvetica}));
       },
       "", "Direct page"},
      {"damaged, repaired by qpdf", [](const ScratchDir& d) {
         std::string pdf = read_file(fixture_pdf("plain.pdf"));
         pdf.replace(pdf.rfind("startxref\n") + 10, 3, "999");
         return written(d / "damaged.pdf", pdf);
       }},
      {"objects no longer referred to (the field's number is shorter than the table's)", [](const ScratchDir& d) {
         return annots_page(d, "", std::vector<std::string>(12, "<< /Unused true >>"));
       }},
      {.name = "one annotation dictionary in place of the /Annots array",
       .make = [](const ScratchDir& d) { return annots_page(d, "/Annots 5 0 R", {kTextAnnotation}); },
       .page = {kOneAnnotAndTheField}},
      {.name = "a number in place of the /Annots array",
       .make = [](const ScratchDir& d) { return annots_page(d, "/Annots 7"); },
       .page = {"^2 0 obj\n<<\n/Annots \\[ [0-9]+ 0 R \\]\n"}},
      {.name = "the text /Annots elsewhere on the page",
       .make = [](const ScratchDir& d) {
         return annots_page(d, "/Annots [ 5 0 R ] /AnnotsX 1 /PieceInfo << /Cv << /Private (/Annots [ 1 ]) "
                               "/Annots [ 2 ] /K /Annots >> >>", {kTextAnnotation});
       },
       .page = {kOneAnnotAndTheField},
       .read_back = "/AnnotsX 1 /Contents 5 0 R /MediaBox [ 0 0 300 300 ] /Parent 3 0 R "
                    "/PieceInfo << /Cv << /Annots [ 2 ] /K /Annots /Private (/Annots [ 1 ]) >> >>"},
      {"RC4-128, user password", fixture("enc-rc4-128.pdf"), "user"},
      {"AES-256, owner password", fixture("enc-aes-256.pdf"), "owner"},
  };
  return all;
}

TEST(ByteImage, EveryInputGivesAValidFileInTheLayoutAndTheSameBytesAgain) {
  ScratchDir dir("byte-image");
  for (const auto& input : inputs()) {
    SCOPED_TRACE(input.name);
    const std::filesystem::path source = input.make(dir);
    const std::string password = input.password;
    QpdfEngine engine;
    open(engine, source, password);
    SignedLayout layout;
    const std::string image = image_of(engine, &layout);
    EXPECT_EQ(layout_violations(image), std::vector<std::string>{});
    EXPECT_EQ(layout.size, image.size());
    EXPECT_EQ(image.substr(layout.slot_at, layout.slot_width + 2), "<0000>");
    EXPECT_EQ(image.substr(layout.byte_range_at, 11), "/ByteRange ");
    const auto written = dir / "image.pdf";
    write_file(written, image);
    EXPECT_EQ(qpdf_problems(written, password), "");
    const std::string qpdf = "qpdf --password=" + shell_quote(password) + " " + shell_quote(written.string());
    const auto pages = run_command(qpdf + " --show-pages");
    EXPECT_TRUE(pages.output.starts_with("page 1: 2 0 R\n")) << pages.output;
    // The new field ends the page's /Annots array or starts it as its first entry; "/Annots" stands nowhere
    // else on the page.
    const std::string page = object_text(image, 2);
    EXPECT_EQ(count_of(page, "/Annots"), 1u) << page;
    for (const std::string& part : input.page) EXPECT_TRUE(std::regex_search(page, std::regex(part))) << page;
    for (const std::string& part : input.catalog)
      EXPECT_TRUE(std::regex_search(object_text(image, 1), std::regex(part))) << object_text(image, 1);
    if (input.read_back) {
      const std::string read_back = run_command(qpdf + " --show-object=2").output;
      EXPECT_TRUE(contains(read_back, input.read_back)) << read_back;
    }
    const std::string text_password = password.empty() ? "" : "user";
    if (input.text != nullptr) EXPECT_NE(page_text(written, "").find(input.text), std::string::npos);
    else EXPECT_EQ(page_text(written, text_password), page_text(source, text_password));

    // Writing emptied the engine's document: it is read again.
    engine.TakeDiagnostics();
    const std::string again = image_of(engine);
    EXPECT_EQ(engine.TakeDiagnostics(), std::vector<std::string>{});
    if (password.empty()) EXPECT_TRUE(again == image) << "a second write differs";
    else EXPECT_EQ(layout_violations(again), std::vector<std::string>{});
  }
}

TEST(PdfSyntax, StringsAreLiteralOnlyWhenPrintable) {
  const struct { std::string value; const char* want; } cases[] = {
      {"abc", "(abc)"}, {"a(b)c\\", "(a\\(b\\)c\\\\)"},
      {"", "()"}, {"a\nb", "<610a62>"},
      {std::string(1, '\0'), "<00>"}, {"caf\xE9", "<636166e9>"}};
  for (const auto& c : cases) {
    ByteSink out;
    append_string(out, c.value);
    const Bytes written = out.take();
    EXPECT_EQ(std::string(written.begin(), written.end()), c.want) << c.want;
  }
}

TEST(PdfSyntax, NamesReadBackUnchanged) {
  for (std::string name : {"/Type", "/A B", "/a#41", "/caf\xE9", "/x(y)", "/", "/tab\t", "/50%"}) {
    ByteSink out;
    append_name(out, name);
    const Bytes bytes = out.take();
    const std::string written(bytes.begin(), bytes.end());
    EXPECT_EQ(QPDFObjectHandle::parse(written).getName(), name) << written;
  }
}

// The sink keeps the order of the bytes in memory and in a file (through its 1 MiB buffer), also where
// bytes are written over across the buffer's start and a range is made shorter or longer.
TEST(ByteSinkTest, WhatIsWrittenComesOutInOrderInMemoryAndInAFile) {
  std::string want;
  for (int i = 0; i < 1500000; ++i) want += static_cast<char>('a' + i % 26);
  for (const bool in_file : {false, true}) {
    SCOPED_TRACE(in_file);
    const int fd = in_file ? ::memfd_create("sink", MFD_CLOEXEC) : -1;
    ByteSink out = in_file ? ByteSink(fd) : ByteSink();
    for (std::size_t at = 0; at < want.size(); at += 7777) {
      out.append(std::string_view(want).substr(at, 7776));
      if (at + 7776 < want.size()) out.push_back(static_cast<std::uint8_t>(want[at + 7776]));
    }
    const std::size_t across = (1 << 20) - 3;
    out.overwrite(across, "0123456");
    out.resize_range(5, 10, 3);
    out.resize_range(2, 1, 4);
    out.append("end");
    const std::string expected = [&] {
      std::string w = want;
      w.replace(across, 7, "0123456");
      w.erase(8, 7);
      w.insert(3, "   ");
      return w + "end";
    }();
    EXPECT_EQ(out.size(), expected.size());
    out.finish();
    const Bytes bytes = in_file ? Bytes() : out.take();
    const std::string got =
        in_file ? read_file("/proc/self/fd/" + std::to_string(fd)) : std::string(bytes.begin(), bytes.end());
    if (in_file) ::close(fd);
    EXPECT_TRUE(got == expected);
  }
}

}  // namespace
}  // namespace corvane::engine::test
