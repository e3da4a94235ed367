// The engine's share of a signing run on a large document (open, write the
// byte image, read it back) against qpdf's own writer on the same file.
//
//   engine_bench LARGE.pdf [benchmark flags]   timings of both
//   engine_bench --once LARGE.pdf              one round trip, for /usr/bin/time -v
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/qpdf_engine.h"

namespace {

std::string g_pdf;

// Opens the document, writes its image and reads the image back; the size
// of the image, or 0 when a step fails.
std::size_t round_trip(const std::string& path) {
  corvane::engine::QpdfEngine engine;
  std::int32_t opened = 0, loaded = 0;
  std::vector<std::uint8_t> image;
  if (!engine.OpenDocument(path, opened) || opened != 1) return 0;
  if (!engine.GetDocumentBytes(image)) return 0;
  if (!engine.LoadDocumentBytes(image, loaded) || loaded != 1) return 0;
  return image.size();
}

void BM_EngineOpenWriteLoad(benchmark::State& state) {
  std::size_t size = 0;
  for (auto _ : state) {
    size = round_trip(g_pdf);
    if (size == 0) state.SkipWithError("the engine failed on the document");
  }
  state.counters["image_MB"] = static_cast<double>(size) / 1e6;
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

BENCHMARK(BM_EngineOpenWriteLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_QpdfWriterWithoutObjectStreams)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--once") == 0) {
    const std::size_t size = round_trip(argv[2]);
    std::printf("image: %zu bytes\n", size);
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
