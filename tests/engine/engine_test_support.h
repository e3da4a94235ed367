// Helpers of the engine tests: documents made on the spot, the engine's
// image of a file, and the checks every image must pass.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/qpdf_engine.h"
#include "tests/support/test_support.h"

namespace corvane::engine::test {

using corvane::test::fixture_pdf;
using corvane::test::object_text;
using corvane::test::page_text;
using corvane::test::pdf_stream;
using corvane::test::qpdf_problems;
using corvane::test::read_file;
using corvane::test::ScratchDir;
using corvane::test::with_update;
using corvane::test::write_file;

// A PDF whose object i + 1 is objects[i] (the text between the "obj" and
// "endobj" lines), with a classic table and the trailer
// "<< /Size n /Root 1 0 R " + trailer_extra + ">>".
using corvane::test::make_pdf;
// A font object's body.
inline constexpr char kHelvetica[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
// Writes `bytes` to `file`; the file's path.
std::filesystem::path written(const std::filesystem::path& file, const std::string& bytes);
// A one-page document with what the layout has to normalise: an indirect
// form with /NeedAppearances and a field reference to a missing object,
// an indirect /Annots array holding a direct annotation, a binary string
// in the page dictionary, a content stream that leaves the graphics state
// scaled and red, and (when `rotated`) a crop box turned a quarter.
std::string odd_pdf(bool rotated);

// Runs `qpdf` with `arguments` into `out`; fails the test when qpdf does.
std::filesystem::path qpdf_made(const std::filesystem::path& out, const std::string& arguments);

// Opens `file` in `engine`; fails the test unless it opens as a PDF.
void open(QpdfEngine& engine, const std::filesystem::path& file);
// The image of the engine's document; fails the test when the call does.
std::string image_of(QpdfEngine& engine);
// The engine's document reloaded from `image`.
void load(QpdfEngine& engine, const std::string& image);

// Every rule of the image layout that `image` breaks, one text per break;
// empty when it keeps them all.
std::vector<std::string> layout_violations(const std::string& image);

}  // namespace corvane::engine::test
