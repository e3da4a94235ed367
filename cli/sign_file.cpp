#include "cli/sign_file.h"

#include <iostream>

#include "cli/sign_messages.h"
#include "corvanepdf/edit.hpp"
#include "settings/host_access.h"
#include "settings/log.h"
#include "verify/form_signatures.h"

namespace corvane::cli {
namespace {

std::string signatures_text(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " earlier signature" : " earlier signatures");
}

const std::string& shown_input(const SignRequest& request) {
  return request.input_name.empty() ? request.input : request.input_name;
}

// The mode of the run: the flag when given, else append for an input with
// `earlier` signatures (said on stderr), else the settings (nullopt).
std::optional<bool> choose_mode(const SignRequest& request, std::size_t earlier) {
  if (request.append == true) return true;
  if (request.append == false) {
    if (earlier > 0)
      std::cerr << "corvanepdf: warning: " << shown_input(request) << ": rebuilding; the " << signatures_text(earlier)
                << " will no longer cover the file\n";
    return false;
  }
  if (earlier == 0) return std::nullopt;
  std::cerr << "corvanepdf: " << shown_input(request) << ": appended to keep " << signatures_text(earlier) << "\n";
  return true;
}

}  // namespace

std::string sign_file(const SignRequest& request,
                      const std::function<void(const std::vector<std::string>&)>& run_lines) {
  const settings::LogCapture log;
  if (std::string problem = sign_precheck(request.input, request.output, !request.cert.empty()); !problem.empty())
    return problem;
  // Signing a file into itself: locked before the mode is chosen from the
  // file, so that a run that waited judges what the run before it wrote.
  // An explicit rebuild of a file another run replaced meanwhile would undo
  // that run's signature.
  const settings::InPlaceLock in_place(request.input, request.output);
  if (!in_place.problem().empty() || (in_place.replaced_while_waiting() && request.append == false))
    return "cannot sign " + request.input + ": the document " + settings::kChangedWhileSigning;
  corvanepdf::edit document;
  document.pdfpath(request.input);
  document.savepath(request.output);
  document.pdfpasswd(request.password);
  if (!request.user.empty()) document.username(request.user);
  if (request.reason_given) document.reason(request.reason);
  document.containername(request.cert);
  if (request.pades) document.pades("1");
  if (!request.tsa_url.empty()) document.tsaurl(request.tsa_url);
  if (request.ltv) document.ltv("1");
  if (!request.certify.empty()) document.certifylevel(request.certify);
  // The input's signature fields (the signing run says why when it cannot
  // be read): looked at for the mode, and for a prepared field the run
  // leaves empty. --append costs no second reading of the file.
  const verify::FormSignatures form = request.append == true
                                          ? verify::FormSignatures{}
                                          : verify::look_at_form_signatures(request.input, request.password);
  const std::optional<bool> mode = choose_mode(request, form.signed_fields);
  if (mode) document.appendmode(*mode);
  if (!request.field.empty()) {
    if (!document.appendmode())
      std::cerr << "corvanepdf: " << shown_input(request) << ": appended: field \"" << request.field
                << "\" is signed as an incremental update\n";
    document.fieldname(request.field);
    document.appendmode(true);
  }
  const bool signed_ok = document.signit();
  if (run_lines) run_lines(log.lines());
  for (const auto& warning : log.warnings()) std::cerr << "corvanepdf: warning: " << warning << "\n";
  // --append read no form here: the run says which fields it passed by.
  const std::vector<std::string> left_empty = request.append == true ? document.fields_left_empty() : form.empty_fields;
  if (signed_ok && request.field.empty() && left_empty.size() == 1)
    std::cerr << "corvanepdf: " << shown_input(request) << ": the prepared signature field \"" << left_empty.front()
              << "\" was left empty; sign it with --field \"" << left_empty.front() << "\"\n";
  const RunFailure failure{document.last_error_code(), document.last_error(), document.last_error_cause()};
  if (signed_ok) return failure.code == CPDF_ERROR_NOT_WRITTEN ? failure_message(request.input, request.output, failure) : "";
  if (std::string problem = failure_message(request.input, request.output, failure); !problem.empty()) return problem;
  if (!document.pdfeditloaded()) return "the PDF engine is not available";
  if (!document.pdfloaded())
    return "cannot open " + request.input + " (not a readable PDF, or a wrong or missing password)";
  return "signing " + request.input + " failed (see the diagnostic log for details)";
}

}  // namespace corvane::cli
