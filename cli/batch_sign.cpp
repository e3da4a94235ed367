#include "cli/batch_sign.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <thread>

#include "cli/sign_messages.h"
#include "corvanepdf/edit.hpp"
#include "settings/log.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBarWidth = 30;

std::mutex& output_mutex() {
  static std::mutex mutex;
  return mutex;
}

// Files done out of all, on stderr: a bar redrawn in place on a terminal,
// one line per finished file otherwise.
class Progress {
 public:
  explicit Progress(std::size_t total) : total_(total), terminal_(::isatty(STDERR_FILENO) == 1) {}

  void started(const std::string& input) {
    const std::lock_guard lock(output_mutex());
    current_ = input;
    if (terminal_) draw();
  }

  void finished(const std::string& input, const std::string& problem) {
    const std::lock_guard lock(output_mutex());
    ++done_;
    if (terminal_) {
      draw();
      return;
    }
    std::cerr << "[" << done_ << "/" << total_ << "] " << (problem.empty() ? "signed " : "refused ") << input
              << "\n";
  }

  void close() {
    const std::lock_guard lock(output_mutex());
    if (terminal_) std::cerr << "\r\033[K" << std::flush;
  }

 private:
  void draw() {
    const std::size_t filled = total_ == 0 ? kBarWidth : done_ * kBarWidth / total_;
    std::cerr << "\r\033[K[" << std::string(filled, '#') << std::string(kBarWidth - filled, '-') << "] " << done_
              << "/" << total_ << " " << fs::path(current_).filename().string() << std::flush;
  }

  std::size_t total_;
  bool terminal_;
  std::size_t done_ = 0;
  std::string current_;
};

bool ends_with_pdf(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
  return end == ".pdf";
}

// One text for every path naming the same file (through links, "..", a
// relative path); the path as given when it cannot be resolved.
std::string same_file_key(const std::string& path) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(path, error);
  return error ? path : resolved.string();
}

}  // namespace

std::function<void(const std::vector<std::string>&)> verbose_printer(const SignOptions& options) {
  if (!options.verbose) return {};
  return [](const std::vector<std::string>& lines) {
    const std::lock_guard lock(output_mutex());
    for (const auto& line : lines) std::cerr << line << "\n";
  };
}

std::string batch_output_name(const std::string& input, const std::string& out_dir) {
  std::string name = fs::path(input).filename().string();
  if (ends_with_pdf(name)) name.resize(name.size() - 4);
  return (fs::path(out_dir) / (name + "-signed.pdf")).string();
}

int run_batch(const SignOptions& options) {
  if (std::error_code error; !fs::is_directory(options.out_dir, error)) {
    fs::create_directories(options.out_dir, error);
    if (error) {
      std::cerr << "corvanepdf: cannot make the output folder " << options.out_dir << ": " << error.message()
                << "\n";
      return 1;
    }
  }
  const std::size_t total = options.inputs.size();
  std::vector<std::string> outputs(total);
  std::vector<std::string> problems(total);
  // Two inputs of one name in different folders would write one file.
  std::map<std::string, std::size_t> first_with_output;
  // An input in the output folder named like another's signed file
  // ("a-signed.pdf" beside "a.pdf") would be written over.
  std::map<std::string, std::size_t> input_at;
  for (std::size_t i = 0; i < total; ++i) input_at.emplace(same_file_key(options.inputs[i]), i);
  for (std::size_t i = 0; i < total; ++i) {
    outputs[i] = batch_output_name(options.inputs[i], options.out_dir);
    const auto [at, added] = first_with_output.emplace(outputs[i], i);
    if (!added) problems[i] = "its signed file would be " + outputs[i] + ", as that of " + options.inputs[at->second];
    if (const auto input = input_at.find(same_file_key(outputs[i])); input != input_at.end())
      problems[i] = "its signed file would replace the input " + options.inputs[input->second];
  }

  // The store is opened once before the workers start, so that a token's
  // PIN prompt and warnings come before the progress line (every worker
  // then uses that login).
  {
    const settings::LogCapture log;
    corvanepdf::edit probe;
    probe.containername(options.cert);
    std::string nothing;
    (void)probe.sign(nothing);
    for (const auto& warning : log.warnings()) std::cerr << "corvanepdf: warning: " << warning << "\n";
  }
  Progress progress(total);
  std::atomic<std::size_t> next{0};
  // Each worker signs with an edit of its own, on its own component state.
  const auto work = [&] {
    for (std::size_t i; (i = next++) < total;) {
      const std::string& input = options.inputs[i];
      progress.started(input);
      if (problems[i].empty()) problems[i] = sign_file(options.request(input, outputs[i]), verbose_printer(options));
      progress.finished(input, problems[i]);
    }
  };
  unsigned jobs = options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<std::size_t>(jobs, total));
  std::vector<std::thread> workers;
  for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work);
  work();
  for (auto& worker : workers) worker.join();
  progress.close();

  const auto refused = static_cast<std::size_t>(std::count_if(problems.begin(), problems.end(),
                                                              [](const std::string& p) { return !p.empty(); }));
  if (!options.quiet || refused > 0)
    std::cout << "signed " << total - refused << " of " << total << " files into " << options.out_dir << "\n";
  if (refused > 0) {
    std::cout << "refused " << refused << ":\n";
    for (std::size_t i = 0; i < total; ++i)
      if (!problems[i].empty()) std::cout << "  " << options.inputs[i] << ": " << problems[i] << "\n";
  }
  return refused == 0 ? 0 : 1;
}

}  // namespace corvane::cli
