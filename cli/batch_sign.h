// `corvanepdf sign` with several inputs: each signed into --out-dir by a
// pool of worker threads, with progress on stderr and a summary.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/sign_file.h"

namespace corvane::cli {

struct SignOptions {
  std::vector<std::string> inputs;
  std::string output;   // -o: the one signed file
  std::string out_dir;  // --out-dir: the folder of the signed files
  unsigned jobs = 0;    // 0: the number of cores
  std::string password;
  std::string user;
  std::string reason;
  bool reason_given = false;
  bool verbose = false;
  bool quiet = false;    // -q: nothing on stdout when every file was signed
  std::string cert;      // --cert
  bool pades = false;    // --pades
  std::string tsa_url;   // --tsa
  bool ltv = false;      // --ltv
  bool append = false;   // --append
  bool rebuild = false;  // --rebuild
  std::string certify;   // --certify
  std::string field;     // --field

  [[nodiscard]] SignRequest request(const std::string& input, const std::string& output) const {
    std::optional<bool> mode;
    if (append || rebuild) mode = append;
    return {input, output, "", password, user, reason, reason_given, cert, pades, tsa_url, ltv, mode, certify, field};
  }
};

// Prints a run's log lines to stderr when -v was given; empty otherwise.
[[nodiscard]] std::function<void(const std::vector<std::string>&)> verbose_printer(const SignOptions& options);
// "dir/a-signed.pdf" for "some/where/a.pdf" (".pdf" in any case; a name
// without it gets "-signed.pdf" appended).
[[nodiscard]] std::string batch_output_name(const std::string& input, const std::string& out_dir);
// Signs every input into out_dir, made first when missing; one file's
// failure never stops the others. 0 when every file was signed, else 1.
[[nodiscard]] int run_batch(const SignOptions& options);

}  // namespace corvane::cli
