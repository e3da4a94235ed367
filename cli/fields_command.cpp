// `corvanepdf fields FILE [--password PW] [--json]`: the signature fields of
// a PDF and its certification (forms/); `corvanepdf fields add FILE -o OUT
// --name NAME --page N --rect X1,Y1,X2,Y2 [--lock all|NAME,...] ...`: empty
// signature fields added for the document's signers.
#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/aligned_columns.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/verify_text_report.h"
#include "forms/prepared_fields.h"
#include "forms/signature_fields.h"
#include "verify/json_writer.h"
#include "verify/verify_json.h"

namespace corvane::cli {
namespace {

using verify::FieldLocks;

struct FieldsOptions {
  std::string file;
  std::string password;
  bool json = false;
};

struct AddOptions {
  forms::PrepareRequest request;
  bool quiet = false;
  // What was wrong with the field options, found while they were parsed.
  std::string usage_problem;
  // Per field: --page and --rect given.
  std::vector<int> given;
};

constexpr int kPageGiven = 1, kRectGiven = 2;

std::string rect_text(const std::array<double, 4>& rect) {
  return forms::number_text(rect[0]) + " " + forms::number_text(rect[1]) + " " + forms::number_text(rect[2]) + " " +
         forms::number_text(rect[3]);
}

std::string state_text(const std::string& signer, const std::string& time) {
  return "signed" + (signer.empty() ? "" : " by " + signer) + (time.empty() ? "" : " at " + time);
}

void print_text(std::ostream& out, const forms::FormFields& form) {
  const forms::Certification& c = form.certification;
  if (c.level != 0)
    out << "Certification: " << verify::certification_text(c.level) << ", "
        << state_text(c.signer, c.signing_time) << (c.field.empty() ? "" : " in \"" + c.field + "\"") << "\n";
  if (form.fields.empty()) {
    out << "no signature fields\n";
    return;
  }
  std::vector<std::vector<std::string>> rows{{"Field", "Page", "Rectangle", "State", "Lock"}};
  for (const forms::SignatureField& f : form.fields)
    rows.push_back({f.name, f.page == 0 ? "-" : std::to_string(f.page), rect_text(f.rect),
                    f.is_signed ? state_text(f.signer, f.signing_time) : "empty", locks_text(f.lock)});
  print_aligned_columns(out, std::move(rows));
}

void print_json(std::ostream& out, const std::string& file, const forms::FormFields& form) {
  verify::JsonWriter json(out);
  json.begin_object();
  json.member("file", file);
  if (!form.refusal.empty()) {
    json.member("error", form.refusal.message());
    json.end_object();
    return;
  }
  json.key("certification");
  if (const forms::Certification& c = form.certification; c.level != 0) {
    json.begin_object();
    json.member("p", static_cast<std::uint64_t>(c.level));
    json.member("text", verify::certification_text(c.level));
    json.member("field", c.field);
    json.member("signer", c.signer);
    json.member("signing_time", c.signing_time);
    json.end_object();
  } else {
    json.null();
  }
  json.key("fields");
  json.begin_array();
  for (const forms::SignatureField& f : form.fields) {
    json.begin_object();
    json.member("name", f.name);
    json.member("page", static_cast<std::uint64_t>(f.page));
    json.key("rect");
    json.begin_array();
    for (const double n : f.rect) json.value(n);
    json.end_array();
    json.member("signed", f.is_signed);
    json.member("signer", f.signer);
    json.member("signing_time", f.signing_time);
    json.key("lock");
    json.begin_object();
    json.member("action", verify::lock_action_name(f.lock.action));
    json.key("fields");
    json.begin_array();
    for (const std::string& name : f.lock.fields) json.value(name);
    json.end_array();
    json.end_object();
    json.end_object();
  }
  json.end_array();
  json.end_object();
  out << "\n";
}

void run_list(const FieldsOptions& options) {
  if (options.file.empty()) {
    std::cerr << "corvanepdf: fields: give a FILE, or fields add FILE -o OUT ... (see fields --help)\n";
    throw CLI::RuntimeError(kExitUsage);
  }
  const forms::FormFields form = forms::read_signature_fields(options.file, options.password);
  if (options.json) print_json(std::cout, options.file, form);
  else if (form.refusal.empty()) print_text(std::cout, form);
  if (!form.refusal.empty()) {
    if (!options.json) std::cerr << "corvanepdf: cannot read " << options.file << ": " << form.refusal.message() << "\n";
    throw CLI::RuntimeError(kExitFailed);
  }
}

// "X1,Y1,X2,Y2" as four numbers; false when it is not.
bool parse_rect(const std::string& text, std::array<double, 4>& rect) {
  std::istringstream in(text);
  char comma[3] = {};
  in >> rect[0] >> comma[0] >> rect[1] >> comma[1] >> rect[2] >> comma[2] >> rect[3];
  return in && (in >> std::ws).eof() && comma[0] == ',' && comma[1] == ',' && comma[2] == ',';
}

// The field the options --page, --rect and --lock apply to: the last one
// --name started, marked as having `given`; nullptr (and the problem
// noted) before the first.
forms::NewSignatureField* current_field(AddOptions& options, const char* option, int given = 0) {
  if (!options.request.fields.empty()) {
    options.given.back() |= given;
    return &options.request.fields.back();
  }
  if (options.usage_problem.empty()) options.usage_problem = std::string(option) + " comes after the --name it is for";
  return nullptr;
}

void add_field_options(CLI::App& add, const std::shared_ptr<AddOptions>& options) {
  // The options of one field follow its --name; each is applied as it is
  // read, so that several fields keep their own values.
  add.add_option_function<std::string>(
         "--name",
         [options](const std::string& name) {
           options->request.fields.push_back({name, 0, {}, {}});
           options->given.push_back(0);
         },
         "Starts a new signature field of this name (repeat the group for more fields)")
      ->trigger_on_parse()
      ->required();
  add.add_option_function<int>(
         "--page", [options](int page) {
           if (auto* field = current_field(*options, "--page", kPageGiven)) field->page = page;
         },
         "Its page, from 1")
      ->trigger_on_parse()
      ->required();
  add.add_option_function<std::string>(
         "--rect", [options](const std::string& text) {
           auto* field = current_field(*options, "--rect", kRectGiven);
           if (field && !parse_rect(text, field->rect) && options->usage_problem.empty())
             options->usage_problem = "--rect " + text + " is not four numbers X1,Y1,X2,Y2";
         },
         "Its rectangle in points from the page's lower left corner; 0,0,0,0 for an invisible field")
      ->trigger_on_parse()
      ->required();
  add.add_option_function<std::string>(
         "--lock", [options](const std::string& text) {
           auto* field = current_field(*options, "--lock");
           if (!field) return;
           if (text == "all") {
             field->lock = {FieldLocks::Action::kAll, {}};
             return;
           }
           field->lock = {FieldLocks::Action::kInclude, {}};
           std::istringstream names(text);
           for (std::string name; std::getline(names, name, ',');)
             if (!name.empty()) field->lock.fields.push_back(name);
         },
         "What a signature in it locks: all, or the fields NAME,NAME,...")
      ->trigger_on_parse();
}

void run_add(AddOptions& options) {
  forms::PrepareRequest& request = options.request;
  for (std::size_t i = 0; i < request.fields.size() && options.usage_problem.empty(); ++i)
    if (options.given[i] != (kPageGiven | kRectGiven))
      options.usage_problem = "the field \"" + request.fields[i].name + "\" needs --page and --rect";
  if (!options.usage_problem.empty()) {
    std::cerr << "corvanepdf: fields add: " << options.usage_problem << "\n";
    throw CLI::RuntimeError(kExitUsage);
  }
  const forms::PrepareResult result = forms::add_signature_fields(request);
  if (!result.refusal.empty()) {
    std::cerr << "corvanepdf: cannot add fields to " << request.input << ": " << result.refusal.message() << "\n";
    throw CLI::RuntimeError(kExitFailed);
  }
  if (!result.warning.empty()) std::cerr << "corvanepdf: warning: " << result.warning << "\n";
  if (options.quiet) return;
  std::string names;
  for (const forms::NewSignatureField& field : request.fields)
    names += (names.empty() ? "\"" : ", \"") + field.name + "\" (page " + std::to_string(field.page) + ")";
  std::cout << request.output << ": empty signature field" << (request.fields.size() == 1 ? " " : "s ") << names
            << " added\n";
}

}  // namespace

void add_fields_command(CLI::App& app) {
  auto options = std::make_shared<FieldsOptions>();
  CLI::App* fields = app.add_subcommand("fields", "List the signature fields of a PDF, or add empty ones (fields add)");
  fields->add_option("FILE", options->file, "The PDF whose signature fields to list");
  fields->add_option("--password", options->password, "Password of an encrypted PDF");
  fields->add_flag("--json", options->json, "Print one JSON document: file, certification, fields");
  fields->footer(
      "Lists each signature field: its full name, page, rectangle (x1 y1 x2 y2), whether it is empty or\n"
      "signed (by whom, when) and the fields a signature in it locks; first the document's certification.\n"
      "--json prints: file, error, certification (p, text, field, signer, signing_time) or null, and fields,\n"
      "each with name, page, rect, signed, signer, signing_time and lock (action: none, all, include,\n"
      "exclude; fields).");

  auto add_options = std::make_shared<AddOptions>();
  CLI::App* add = fields->add_subcommand(
      "add", "Add empty signature fields to FILE as one incremental update, written to OUT");
  add->add_option("FILE", add_options->request.input, "The PDF to prepare")->required();
  add->add_option("-o,--output", add_options->request.output, "The prepared file (OUT.pdf; may be FILE)")->required();
  add->add_option("--password", add_options->request.password, "Password of an encrypted PDF");
  add_field_options(*add, add_options);
  add->add_flag("-q,--quiet", add_options->quiet, "Print nothing on success");
  add->footer(
      "Each field is the group --name NAME --page N --rect X1,Y1,X2,Y2 [--lock all | --lock NAME,NAME...];\n"
      "repeat the group for more fields. Earlier signatures keep covering their revisions; an invisible\n"
      "field (0,0,0,0) after a signature is a change it permits, a visible one is not: prepare visible\n"
      "fields before the first signature.");
  add->callback([add_options] { run_add(*add_options); });
  fields->callback([options, add] {
    if (add->parsed()) return;
    run_list(*options);
  });
}

}  // namespace corvane::cli
