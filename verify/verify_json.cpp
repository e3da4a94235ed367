#include "verify/verify_json.h"

#include <optional>
#include <string>
#include <vector>

#include "verify/json_writer.h"

namespace corvane::verify {
namespace {

const char* verdict_name(Verdict verdict) {
  switch (verdict) {
    case Verdict::kHolds: return "holds";
    case Verdict::kBroken: return "broken";
    case Verdict::kUnreadable: return "unreadable";
    case Verdict::kUntrusted: return "untrusted";
  }
  return "unknown";
}

void print_signer(JsonWriter& json, const SignerDetails& signer) {
  json.begin_object();
  json.member("subject", signer.subject);
  json.member("email", signer.email);
  json.member("issuer", signer.issuer);
  json.member("signing_time", signer.signing_time);
  json.member("digest_algorithm", signer.digest_algorithm);
  json.member("trusted", signer.trusted);
  json.member("trust_problem", signer.trust_problem);
  json.end_object();
}

void print_timestamp(JsonWriter& json, const std::optional<TimestampFacts>& timestamp) {
  if (!timestamp) {
    json.null();
    return;
  }
  json.begin_object();
  json.member("time", timestamp->time);
  json.member("authority", timestamp->authority);
  json.member("valid", timestamp->valid);
  json.member("imprint_matches", timestamp->imprint_matches);
  json.member("problem", timestamp->problem);
  json.end_object();
}

template <typename Strings>
void print_strings(JsonWriter& json, const Strings& items) {
  json.begin_array();
  for (const std::string& item : items) json.value(item);
  json.end_array();
}

void print_after(JsonWriter& json, const SignatureReport& s) {
  const AfterSignature& after = s.after;
  json.begin_object();
  json.member("level", s.covers_whole_file ? "nothing" : change_level_name(after.level));
  json.member("permitted", after.permitted);
  json.member("refusal", after.refusal);
  json.key("changes");
  json.begin_array();
  std::size_t i = 0;
  for (const LaterChange& change : after.changes) {
    json.begin_object();
    json.member("level", change_level_name(change.level));
    json.member("object", change.object);
    json.member("what", change.what);
    json.member("permitted", i++ != after.refused && change.level != ChangeLevel::kOther);
    json.end_object();
  }
  json.end_array();
  json.key("fields");
  print_strings(json, after.fields);
  json.key("document_information");
  print_strings(json, after.document_information);
  json.end_object();
}

void print_validation_data(JsonWriter& json, const ChainCoverage& coverage) {
  json.begin_object();
  json.member("covered", coverage.covered);
  json.member("missing", coverage.missing);
  json.member("revoked", coverage.revoked);
  json.end_object();
}

void print_signature(JsonWriter& json, const SignatureReport& s) {
  json.begin_object();
  json.member("field_name", s.field_name);
  json.member("document_timestamp", s.document_timestamp);
  json.member("format", s.format);
  json.member("valid", s.valid);
  json.member("problem", s.problem);
  json.key("signer");
  print_signer(json, s.signer);
  json.member("covers_whole_file", s.covers_whole_file);
  json.member("signed_end", s.signed_end);
  json.key("signed_range");
  json.begin_array();
  for (const long long n : s.byte_range) json.value(static_cast<std::uint64_t>(n < 0 ? 0 : n));
  json.end_array();
  json.member("weak_digest", s.weak_digest);
  json.key("timestamp");
  print_timestamp(json, s.format_facts.timestamp);
  json.key("validation_data");
  print_validation_data(json, s.format_facts.validation_data);
  json.member("revision", s.revision);
  json.member("revisions", s.revisions);
  json.key("after");
  print_after(json, s);
  json.key("certification");
  if (s.certification > 0) {
    json.begin_object();
    json.member("p", static_cast<std::uint64_t>(s.certification));
    json.member("text", certification_text(s.certification));
    json.end_object();
  } else {
    json.null();
  }
  json.key("locks");
  json.begin_object();
  json.member("action", lock_action_name(s.locks.action));
  json.key("fields");
  print_strings(json, s.locks.fields);
  json.end_object();
  json.end_object();
}

}  // namespace

const char* lock_action_name(FieldLocks::Action action) {
  switch (action) {
    case FieldLocks::Action::kNone: return "none";
    case FieldLocks::Action::kAll: return "all";
    case FieldLocks::Action::kInclude: return "include";
    case FieldLocks::Action::kExclude: return "exclude";
  }
  return "none";
}

void print_verify_json(std::ostream& out, const std::string& file, const DocumentReport& report) {
  JsonWriter json(out);
  json.begin_object();
  json.member("file", file);
  json.member("verdict", verdict_name(verdict_of(report)));
  if (!report.opened) {
    json.member("error", report.error);
    json.end_object();
    return;
  }
  json.member("file_size", report.file_size);
  json.member("all_hold", all_signatures_hold(report));
  json.member("trust_checked", report.trust_checked);
  json.member("store_problem", report.store_problem);
  json.key("signatures");
  json.begin_array();
  for (const auto& signature : report.signatures) print_signature(json, signature);
  json.end_array();
  json.end_object();
}

}  // namespace corvane::verify
