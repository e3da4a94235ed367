#include "cli/sign_file.h"

#include <iostream>

#include "cli/sign_messages.h"
#include "corvanepdf/edit.hpp"

namespace corvane::cli {

std::string sign_file(const SignRequest& request,
                      const std::function<std::vector<std::string>()>& log_lines,
                      const std::function<void(const std::vector<std::string>&)>& run_lines) {
  if (std::string problem = sign_precheck(request.input, request.output, !request.cert.empty()); !problem.empty())
    return problem;
  corvanepdf::edit document;
  document.pdfpath(request.input);
  document.savepath(request.output);
  document.pdfpasswd(request.password);
  if (!request.user.empty()) document.username(request.user);
  if (request.reason_given) document.reason(request.reason);
  document.containername(request.cert);
  if (request.pades) document.pades("1");
  if (!request.tsa_url.empty()) document.tsaurl(request.tsa_url);
  const bool signed_ok = document.signit();
  const auto lines = log_lines();
  if (run_lines) run_lines(lines);
  for (const auto& warning : warning_messages(lines)) std::cerr << "corvanepdf: " << warning << "\n";
  if (signed_ok) return write_message(request.output, lines);
  if (std::string problem = failure_message(request.input, lines); !problem.empty()) return problem;
  if (!document.pdfeditloaded()) return "the PDF engine is not available";
  if (!document.pdfloaded())
    return "cannot open " + request.input + " (not a readable PDF, or a wrong or missing password)";
  return "signing " + request.input + " failed (see the diagnostic log for details)";
}

}  // namespace corvane::cli
