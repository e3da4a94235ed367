// Benchmarks of the signing run.
//
//   Signit/Pages/N            a whole signit of a generated N-page document
//                             with the fixture store (needs build/fixtures:
//                             run `ctest -R make_fixtures` first)
//
// The signing run uses scratch hive files; the store is CORVANE_NSSDB, else
// the fixture store of the build tree.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "component/edit.h"
#include "settings/registry.h"

namespace {

namespace fs = std::filesystem;

// A PDF of `pages` pages with a line of text each, classic table.
std::string document_of(int pages) {
  std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", "", "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  std::string kids;
  for (int p = 0; p < pages; ++p) {
    const int page = static_cast<int>(objects.size()) + 1;
    const std::string text = "BT /F1 12 Tf 72 720 Td (Page " + std::to_string(p + 1) + " of the benchmark document) Tj ET";
    objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> /Contents " +
                      std::to_string(page + 1) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text + "\nendstream");
    kids += std::to_string(page) + " 0 R ";
  }
  objects[1] = "<< /Type /Pages /Kids [ " + kids + "] /Count " + std::to_string(pages) + " >>";
  std::string pdf = "%PDF-1.7\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    const std::string digits = std::to_string(offset);
    pdf += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// The fixture store and its signer, in scratch hives of this process.
bool prepare_signing(const fs::path& scratch) {
  const fs::path fixtures = fs::path(CORVANE_BINARY_DIR) / "fixtures" / "nss";
  if (!std::getenv("CORVANE_NSSDB")) ::setenv("CORVANE_NSSDB", ("sql:" + fixtures.string()).c_str(), 1);
  ::setenv("CORVANE_HKCU", (scratch / "hkcu.reg").c_str(), 1);
  ::setenv("CORVANE_HKLM", (scratch / "hklm.reg").c_str(), 1);
  std::ifstream keys(fixtures / "keys.tsv");
  for (std::string line; std::getline(keys, line);) {
    std::istringstream fields(line);
    std::string nick, id;
    std::getline(fields, nick, '\t');
    std::getline(fields, id, '\t');
    if (nick == "Alex Signer")
      return corvane::settings::reg_write_text(std::string(corvane::settings::kUserBase) + "UniqueContainerName",
                                               "NSS Certificate DB:" + id);
  }
  return false;
}

void SignitPages(benchmark::State& state) {
  const fs::path scratch = fs::temp_directory_path() / ("corvane-bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  if (!prepare_signing(scratch)) {
    state.SkipWithError("no fixture store: run `ctest -R make_fixtures` first");
    return;
  }
  const fs::path in = scratch / "in.pdf";
  std::ofstream(in, std::ios::binary) << document_of(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    corvane::component::Edit edit;
    edit.pdfpath = in.string();
    edit.savepath = (scratch / "out.pdf").string();
    if (!edit.signit()) state.SkipWithError("signit refused the document");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(fs::file_size(in)));
  state.SetComplexityN(state.range(0));
  fs::remove_all(scratch);
}
BENCHMARK(SignitPages)->Name("Signit/Pages")->RangeMultiplier(4)->Range(16, 4096)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
