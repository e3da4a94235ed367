// `corvanepdf timestamp IN.pdf -o OUT.pdf [--tsa URL] [--password PW]`: a
// document timestamp appended to a PDF (doctimestamp/), from the authority
// of --tsa or the setting `tsaurl`.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/sign_messages.h"
#include "doctimestamp/document_timestamp.h"
#include "settings/log.h"

namespace corvane::cli {
namespace {

struct TimestampOptions {
  std::string input;
  std::string output;
  std::string password;
  std::string tsa_url;
  bool verbose = false;
  bool quiet = false;
};

void run_timestamp(const TimestampOptions& options) {
  const settings::LogCapture log;
  const auto print_log = [&log, &options] {
    if (options.verbose)
      for (const std::string& line : log.lines()) std::cerr << line << "\n";
  };
  const doctimestamp::DocumentTimestampResult result =
      doctimestamp::add_document_timestamp({options.input, options.output, options.password, options.tsa_url});
  print_log();
  if (!result.refusal.empty()) {
    const RunFailure failure{static_cast<CpdfErrorCode>(result.refusal.code()), result.refusal.message(),
                             result.refusal.cause()};
    std::cerr << "corvanepdf: " << failure_message(options.input, options.output, failure, "timestamp") << "\n";
    throw CLI::RuntimeError(kExitFailed);
  }
  if (!options.quiet)
    std::cout << options.output << " timestamped at " << result.time << " by " << result.authority << "\n";
}

}  // namespace

void add_timestamp_command(CLI::App& app) {
  auto options = std::make_shared<TimestampOptions>();
  CLI::App* command = app.add_subcommand(
      "timestamp", "Append a document timestamp of an RFC 3161 authority to IN.pdf, written to OUT.pdf");
  command->add_option("IN.pdf", options->input, "The PDF to timestamp")->required();
  command->add_option("-o,--output", options->output, "The timestamped file (OUT.pdf; may be IN.pdf)")->required();
  command->add_option("--tsa", options->tsa_url, "The timestamp authority's URL (default: the setting tsaurl)");
  command->add_option("--password", options->password, "Password of an encrypted PDF");
  command->add_flag("-v,--verbose", options->verbose, "Print the run's diagnostic log lines to stderr");
  command->add_flag("-q,--quiet", options->quiet, "Print nothing on success");
  command->callback([options] { run_timestamp(*options); });
}

}  // namespace corvane::cli
