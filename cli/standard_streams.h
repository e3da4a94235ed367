// `corvanepdf sign - -o -`: the document read from standard input and the
// signed file written to standard output, each held meanwhile in an unnamed
// temporary file that the run reaches through its descriptor
// (/proc/self/fd/N): nothing is left behind however the process ends.
#pragma once

#include <string>

namespace corvane::cli {

class StandardStreams {
 public:
  // Copies standard input into an unnamed file when `input` is "-";
  // error() says what went wrong otherwise. Other names pass through.
  StandardStreams(const std::string& input, const std::string& output);
  ~StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

  // "" when the streams are ready; else one line saying why not.
  [[nodiscard]] const std::string& error() const { return error_; }
  // The files to sign from and into.
  [[nodiscard]] const std::string& input() const { return input_; }
  [[nodiscard]] const std::string& output() const { return output_; }
  // Whether the signed file goes to standard output (nothing else may).
  [[nodiscard]] bool output_is_stdout() const { return output_ != output_as_given_; }
  // `message` with the temporary names replaced by what the user gave.
  [[nodiscard]] std::string shown(std::string message) const;
  // Copies the signed file to standard output when it goes there. "" when
  // done, else why not.
  [[nodiscard]] std::string deliver() const;

 private:
  int input_fd_ = -1;
  int output_fd_ = -1;
  std::string input_;
  std::string output_;
  std::string input_as_given_;
  std::string output_as_given_;
  std::string error_;
};

}  // namespace corvane::cli
