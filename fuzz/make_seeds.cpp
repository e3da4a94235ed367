// corvane_fuzz_seeds OUTDIR PDF...
// Writes the seed inputs of the fuzz programs made from real documents: for
// each PDF the engine's byte image (OUTDIR/rebuild/), its cross-reference
// text (OUTDIR/xref/) and its first page object with a field number in front
// (OUTDIR/annots/). Encrypted documents are opened with the password
// "owner". A file the engine cannot turn into an image is skipped with a
// note. Exit code 0 when at least one image was written.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/qpdf_engine.h"

namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The engine's image of `pdf`, "" when it cannot make one.
std::string byte_image(const std::string& pdf) {
  corvane::engine::QpdfEngine engine;
  std::int32_t result = 0;
  if (!engine.OpenDocument(pdf, result) || result != 1) return {};
  std::int32_t encryption = 0;
  if (engine.GetEncryption(encryption) && encryption != 0) {
    std::int32_t accepted = 0;
    if (!engine.SubmitPassword("owner", accepted) || accepted == 0) return {};
  }
  std::vector<std::uint8_t> bytes;
  if (!engine.GetDocumentBytes(bytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTDIR PDF...\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  int written = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string image = byte_image(argv[i]);
    if (image.empty()) {
      std::fprintf(stderr, "no byte image of %s: skipped\n", argv[i]);
      continue;
    }
    const std::string name = fs::path(argv[i]).stem().string();
    write(out / "rebuild" / (name + ".pdf"), image);
    if (const auto xref = image.rfind("\nxref\n"); xref != std::string::npos)
      write(out / "xref" / (name + ".txt"), image.substr(xref + 1));
    const auto page = image.find("\n2 0 obj\n");
    const auto page_end = image.find("\nendobj\n", page);
    if (page != std::string::npos && page_end != std::string::npos)
      write(out / "annots" / (name + ".txt"), "12\n" + image.substr(page + 1, page_end + 8 - page - 1));
    ++written;
  }
  std::printf("seed images written: %d\n", written);
  return written > 0 ? 0 : 1;
}
