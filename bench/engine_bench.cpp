// The engine's share of a signing run on a large document (open, write the
// file with a field and a signature dictionary added) against qpdf's own
// writer on the same file.
//
//   engine_bench LARGE.pdf [benchmark flags]   timings of both
//   engine_bench --once LARGE.pdf              one write, for /usr/bin/time -v
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/qpdf_engine.h"

namespace {

std::string g_pdf;

// Opens the document and writes it with a field and a signature dictionary
// of the usual size added; the size of the file, or 0 when a step fails.
std::size_t open_and_write(const std::string& path) {
  corvane::engine::QpdfEngine engine;
  std::int32_t opened = 0;
  corvane::engine::SignedLayout layout;
  const auto added = [](std::int32_t n) {
    corvane::engine::AddedObjects objects;
    objects.objects = {std::to_string(n) + " 0 obj\n<<\n/FT /Sig\n/V " + std::to_string(n + 1) + " 0 R\n>>\nendobj\n",
                       std::to_string(n + 1) + " 0 obj\n<<\n/Contents <" + std::string(4096, 'e') +
                           "> \n/ByteRange [0                                ]\n>>\nendobj\n"};
    objects.slot_at = objects.objects[0].size() + std::to_string(n + 1).size() + 20;
    objects.slot_width = 4096;
    objects.byte_range_at = objects.slot_at + 4098 + 2;
    return std::optional(objects);
  };
  if (!engine.OpenDocument(path, opened) || opened != 1) return 0;
  // Into a file without a name, as a run writes into its temporary file.
  const int fd = ::open(std::filesystem::temp_directory_path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  const bool written = fd >= 0 && engine.WriteSignedDocument(added, fd, layout);
  if (fd >= 0) ::close(fd);
  return written ? layout.size : 0;
}

void BM_EngineOpenWrite(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    size = open_and_write(g_pdf);
    if (size == 0) state.SkipWithError("the engine failed on the document");
  }
  state.counters["file_MB"] = static_cast<double>(size) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(g_pdf)));
}

void BM_QpdfWriterWithoutObjectStreams(benchmark::State& state) {
  const std::string out = g_pdf + ".qpdf-out.pdf";
  const std::string command = "qpdf --object-streams=disable '" + g_pdf + "' '" + out + "'";
  for (auto _ : state) {
    const int status = std::system(command.c_str());
    if (status != 0) state.SkipWithError("qpdf failed on the document");
  }
  std::filesystem::remove(out);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(g_pdf)));
}

BENCHMARK(BM_EngineOpenWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_QpdfWriterWithoutObjectStreams)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--once") == 0) {
    const std::size_t size = open_and_write(argv[2]);
    std::printf("file: %zu bytes\n", size);
    return size > 0 ? 0 : 1;
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: engine_bench LARGE.pdf [benchmark flags] | --once LARGE.pdf\n");
    return 2;
  }
  g_pdf = argv[1];
  argv[1] = argv[0];
  --argc;
  ++argv;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
