// Helpers of the engine tests: documents made on the spot, the file the engine writes with stand-in
// signature objects, and the checks every such file must pass.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/qpdf_engine.h"
#include "tests/support/test_support.h"

namespace corvane::engine::test {

using namespace corvane::test;

inline constexpr char kHelvetica[] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
// Writes `bytes` to `file`; the file's path.
std::filesystem::path written(const std::filesystem::path& file, const std::string& bytes);
// A one-page document with what the layout has to normalise: an indirect form with /NeedAppearances and a
// field referring to a missing object, an indirect /Annots array holding a direct annotation, a binary
// string on the page, content leaving the graphics state scaled and red, a crop box turned when `rotated`.
std::string odd_pdf(bool rotated);

// Runs `qpdf` with `arguments` into `out`; fails the test when qpdf does.
std::filesystem::path qpdf_made(const std::filesystem::path& out, const std::string& arguments);

// Opens `file` in `engine` and, when one is given, submits `password`; fails the test unless it opens as a
// PDF and the password is taken.
void open(QpdfEngine& engine, const std::filesystem::path& file, const std::string& password = "");
// A stand-in field and signature dictionary (an empty slot of 4 hex digits) for the engine to add.
AddedObjectsFn stand_in_objects();
// Has `engine` write its document with `added` into a file in memory: the file's bytes, or nullopt when the
// call fails.
std::optional<std::string> write_signed(PdfEngine& engine, const AddedObjectsFn& added, SignedLayout& layout);
// The file the engine writes with the stand-in objects added; fails the test when the call does.
// `layout`, when given, receives where the slot is.
std::string image_of(QpdfEngine& engine, SignedLayout* layout = nullptr);
// What `image` breaks of the layout that qpdf --check does not judge (the header's binary line, one classic
// table and the trailer's fixed lines, the new field in the form and ending the page's /Annots), one text per
// break; empty when it keeps them all.
std::vector<std::string> layout_violations(const std::string& image);

}  // namespace corvane::engine::test
