#include "verify/verify_document.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "verify/authority_trust.h"
#include "platform/byte_source.h"
#include "verify/cades_check.h"
#include "verify/pdf_date.h"
#include "verify/change_analysis.h"
#include "verify/later_changes.h"
#include "verify/opened_revision.h"
#include "verify/pdf_input.h"
#include "verify/permissions.h"
#include "verify/range_digests.h"
#include "verify/revisions.h"
#include "verify/signature_dictionaries.h"
#include "verify/signature_message.h"
#include "verify/signed_ranges.h"
#include "verify/validation_data.h"
#include "verify/verification_store.h"

namespace corvane::verify {
namespace {

// What the checks of one document share, so that signature dictionaries
// that point at the same slot and ranges (one large /Contents shared by
// many fields) cost one reading of the slot, one digest of the signed bytes
// and one decoding of the message.
struct SharedChecks {
  explicit SharedChecks(const platform::ByteSource& file) : digests(file) {}

  // The ranges by /ByteRange, /Contents offset and (when that is unknown)
  // /Contents bytes, without the signature message.
  using RangesKey = std::tuple<std::vector<long long>, long long, std::string>;
  std::map<RangesKey, SignedRanges> ranges;
  // What a slot's message says of the signed bytes, by the ranges and the
  // /SubFilter that says how to read it.
  struct Results {
    std::optional<CmsCheck> cms;
    std::optional<FormatFacts> facts;
    AuthorityTrust authority;  // a document timestamp's, set with its facts
  };
  using ResultsKey = std::tuple<std::uint64_t, std::uint64_t, std::uint64_t, std::string>;
  std::map<ResultsKey, Results> results;
  RangeDigests digests;
};

// One signature being checked: what the checkers read, what they leave for
// the ones after them, and the report they fill. The signature message
// lives here, not in the report, and goes with the check.
struct SignatureCheck {
  const platform::ByteSource& file;
  const std::string& password;
  // Where the file's revisions end (after each %%EOF line).
  const std::vector<std::uint64_t>& revision_ends;
  const SignatureDictionary& dictionary;
  SignedRanges ranges;
  SignatureReport& report;
  // The document's validation data (/DSS), read once for all signatures.
  const DocumentValidationData& dss;
  SharedChecks& shared;
  // The signature message decoded, once, for the checkers that read it;
  // empty when their results are known already.
  std::optional<SignatureMessage> message;

  SharedChecks::Results& results() {
    return shared.results[{ranges.slot_offset, ranges.slot_end, ranges.signed_end, dictionary.sub_filter}];
  }
};

// Both name a detached CMS signature over the byte ranges.
bool is_detached_cms(const std::string& sub_filter) {
  return sub_filter == "adbe.pkcs7.detached" || sub_filter == "ETSI.CAdES.detached";
}

// A document timestamp: an RFC 3161 token over the byte ranges.
constexpr std::string_view kDocumentTimestamp = "ETSI.RFC3161";

void check_dictionary(SignatureCheck& check) {
  SignatureReport& report = check.report;
  report.field_name = check.dictionary.field_name;
  report.signer.signing_time = readable_pdf_date(check.dictionary.signing_time);
  const std::string& sub_filter = check.dictionary.sub_filter;
  report.document_timestamp = sub_filter == kDocumentTimestamp;
  report.object_number = check.dictionary.object_number;
  report.object_generation = check.dictionary.object_generation;
  report.certification = check.dictionary.certification;
  report.byte_range = check.dictionary.byte_range;
  report.locks = check.dictionary.locks;
  if (!is_detached_cms(sub_filter) && !report.document_timestamp)
    report.problem = sub_filter.empty() ? "the signature does not say what kind it is (no /SubFilter)"
                                        : "signatures of the kind /" + sub_filter + " are not supported";
  else if (check.dictionary.in_object_stream)
    report.problem = "the signature dictionary is inside an object stream, so /ByteRange cannot point at its /Contents";
}

// The signature message is read from the file here, once, at its offset,
// unless a dictionary before this one had the same ranges and its results
// are known: then the message is not needed.
void check_ranges(SignatureCheck& check) {
  if (!check.report.problem.empty()) return;
  const SignatureDictionary& d = check.dictionary;
  SharedChecks::RangesKey key{d.byte_range, d.contents_offset, d.contents_offset < 0 ? d.contents : ""};
  const auto known = check.shared.ranges.find(key);
  bool results_known = false;
  if (known != check.shared.ranges.end()) {
    check.ranges = known->second;
    const SharedChecks::Results& results = check.results();
    results_known = !check.ranges.well_formed || (results.facts && (results.cms || check.report.document_timestamp));
  }
  if (!results_known) {
    check.ranges = check_signed_ranges(check.file, d.byte_range, d.contents_offset, d.contents);
    SignedRanges remembered = check.ranges;
    remembered.signature = {};
    check.shared.ranges.insert_or_assign(std::move(key), std::move(remembered));
  }
  if (!check.ranges.well_formed) {
    check.report.problem = check.ranges.problem;
    return;
  }
  check.report.covers_whole_file = check.ranges.covers_whole_file;
  check.report.signed_end = check.ranges.signed_end;
}

// A document timestamp's token stands for the signature: the authority for
// the signer, its time for the signing time.
void check_document_timestamp(SignatureCheck& check) {
  std::optional<FormatFacts>& known = check.results().facts;
  if (!known) {
    DocumentTimestamp token = read_document_timestamp(check.ranges.signature, check.shared.digests.of(check.ranges));
    known.emplace();
    known->timestamp = std::move(token.facts);
    check.results().authority = std::move(token.authority);
  }
  const TimestampFacts& facts = *known->timestamp;
  SignatureReport& report = check.report;
  report.format = "document timestamp";
  report.signer.subject = facts.authority;
  report.signer.signing_time = facts.time;
  report.signer.digest_algorithm = "SHA-256";
  report.valid = facts.problem.empty();
  report.problem = facts.problem.empty() ? "" : "the document timestamp does not hold: " + facts.problem;
  report.format_facts.timestamp = facts;
  const AuthorityTrust& trust = check.results().authority;
  report.signer.trust_checked = trust.checked;
  report.signer.trusted = trust.trusted;
  report.signer.trust_problem = trust.problem;
}

// The one decoding of a signer's signature message, which the signature
// check and the format check below both read.
void decode_message(SignatureCheck& check) {
  if (!check.ranges.well_formed || check.report.document_timestamp) return;
  const SharedChecks::Results& known = check.results();
  if (!known.cms || !known.facts) check.message.emplace(check.ranges.signature);
}

void check_cms(SignatureCheck& check) {
  if (!check.ranges.well_formed) return;
  if (check.report.document_timestamp) {
    check_document_timestamp(check);
    return;
  }
  std::optional<CmsCheck>& known = check.results().cms;
  if (!known) known = check_cms_signature(*check.message, check.shared.digests.of(check.ranges));
  const CmsCheck& cms = *known;
  SignatureReport& report = check.report;
  const std::string time_from_m = report.signer.signing_time;
  report.signer = cms.signer;
  if (report.signer.signing_time.empty()) report.signer.signing_time = time_from_m;
  report.valid = cms.valid;
  report.problem = cms.problem;
}

// The format, the CAdES attributes, the timestamp and the validation data
// for the chain. An attribute or a timestamp that does not hold, or a
// certificate the validation data says is revoked, makes a valid signature
// invalid.
void check_format(SignatureCheck& check) {
  if (!check.ranges.well_formed || check.report.document_timestamp) return;
  std::optional<FormatFacts>& known = check.results().facts;
  if (!known) known = read_format_facts(*check.message, check.shared.digests.of(check.ranges), check.dss);
  SignatureReport& report = check.report;
  report.format_facts = *known;
  report.format = format_name(check.dictionary.sub_filter, report.format_facts);
  const FormatFacts& facts = report.format_facts;
  std::string problem;
  // A detached signature signs the byte ranges: content inside the message
  // is something else, which a reader might take for what was signed. This
  // outweighs whatever else was found.
  if (facts.encapsulated_content) {
    report.valid = false;
    report.problem = "the signature is detached (/SubFilter /" + check.dictionary.sub_filter +
                     ") but its CMS message encapsulates content";
  } else if (facts.message_digest_matches == false) problem = "the message-digest attribute does not match the signed bytes";
  else if (facts.signing_certificate_matches == false)
    problem = "the signing-certificate-v2 attribute does not name the signer's certificate";
  else if (facts.timestamp && !facts.timestamp->problem.empty())
    problem = "the timestamp does not hold: " + facts.timestamp->problem;
  else if (!facts.validation_data.revoked.empty())
    problem = "the document's validation data says the certificate " + facts.validation_data.revoked + " is revoked";
  if (report.valid && !problem.empty()) {
    report.valid = false;
    report.problem = problem;
  }
  check.message.reset();  // the message is not needed any more
  check.ranges.signature = {};
}

void check_digest_strength(SignatureCheck& check) {
  // Digests for which colliding documents can be made.
  constexpr std::array<std::string_view, 4> kWeak = {"SHA-1", "MD5", "MD2", "MD4"};
  const std::string& digest = check.report.signer.digest_algorithm;
  check.report.weak_digest = std::find(kWeak.begin(), kWeak.end(), digest) != kWeak.end();
}

// The signature's revision.
void check_revision(SignatureCheck& check) {
  SignatureReport& report = check.report;
  if (report.signed_end == 0) return;
  const auto& ends = check.revision_ends;
  report.revision = static_cast<std::size_t>(
      std::lower_bound(ends.begin(), ends.end(), report.signed_end) - ends.begin() + 1);
  report.revisions = std::max(ends.size(), report.revision);
}

// The checkers in the order they run; each fills its own part of the report.
using Checker = void (*)(SignatureCheck&);
constexpr Checker kCheckers[] = {check_dictionary, check_ranges,          decode_message, check_cms,
                                 check_format,     check_digest_strength, check_revision};

SignatureReport verify_signature(const platform::ByteSource& file, const std::string& password,
                                 const std::vector<std::uint64_t>& revision_ends,
                                 const SignatureDictionary& dictionary, const DocumentValidationData& dss,
                                 SharedChecks& shared) {
  SignatureReport report;
  SignatureCheck check{file, password, revision_ends, dictionary, {}, report, dss, shared, {}};
  for (Checker checker : kCheckers) checker(check);
  return report;
}

// A PAdES signature with validation data for its chain that a valid
// document timestamp of a later revision covers is archived (B-LTA): the
// timestamp keeps the signature and its validation data checkable after
// their algorithms or certificates age.
void name_archived_signatures(std::vector<SignatureReport>& signatures) {
  std::size_t last_timestamped_revision = 0;
  for (const SignatureReport& s : signatures)
    if (s.document_timestamp && s.valid) last_timestamped_revision = std::max(last_timestamped_revision, s.revision);
  for (SignatureReport& s : signatures)
    if (s.format == "PAdES B-LT" && s.revision < last_timestamped_revision) s.format = "PAdES B-LTA";
}

// The certification must be the document's first signature.
void check_certification_is_first(std::vector<SignatureReport>& signatures) {
  std::size_t first_revision = 0;
  for (const SignatureReport& s : signatures)
    if (s.revision > 0 && (first_revision == 0 || s.revision < first_revision)) first_revision = s.revision;
  for (SignatureReport& s : signatures)
    if (s.certification > 0 && s.revision != first_revision && s.valid) {
      s.valid = false;
      s.problem = "it certifies the document but is not its first signature";
    }
}

// What the revisions after each signature did, and whether it permits it.
// Each update up to the file's last revision (up to where its signatures
// were found, readable_end) is judged once for all signatures before it.
void judge_later_changes(const platform::ByteSource& file, std::uint64_t last_end, const std::string& password,
                         std::vector<SignatureReport>& signatures, const PermitOptions& permit) {
  check_certification_is_first(signatures);
  int certification_p = 0;
  for (const SignatureReport& s : signatures)
    if (s.certification > 0 && s.valid) certification_p = s.certification;
  std::vector<KnownSignature> known;
  for (const SignatureReport& s : signatures)
    known.push_back({s.object_number, s.object_generation, s.valid, s.signed_end, s.document_timestamp});
  const long long last_section = last_section_offset(file);
  std::vector<SignatureReport*> judged;
  std::vector<std::uint64_t> ends;
  for (SignatureReport& s : signatures) {
    if (s.signed_end == 0 || s.covers_whole_file) continue;
    if (last_section < static_cast<long long>(s.signed_end)) {
      s.after.level = ChangeLevel::kOther;
      s.after.changes.push_back({ChangeLevel::kOther, "", "bytes were appended that add no revision"});
      s.after.permitted = false;
      continue;
    }
    if (s.signed_end >= last_end) {  // past what the signature search read: compared with it directly
      const OpenedRevision signed_revision(file, s.signed_end, password);
      s.after = analyse_changes(signed_revision, OpenedRevision(file, last_end, password), known);
      judge_permission(s.after, certification_p, s.locks, permit);
      continue;
    }
    judged.push_back(&s);
    ends.push_back(s.signed_end);
  }
  std::vector<AfterSignature> after = changes_after(file, ends, last_end, password, known);
  for (std::size_t i = 0; i < judged.size(); ++i) {
    judged[i]->after = std::move(after[i]);
    judge_permission(judged[i]->after, certification_p, judged[i]->locks, permit);
  }
}

}  // namespace

DocumentReport verify_document(const std::string& path, const std::string& password) {
  return verify_document(path, password, PermitOptions{});
}

DocumentReport verify_document(const std::string& path, const std::string& password, const PermitOptions& permit) {
  DocumentReport report;
  const platform::FileByteSource file(path);
  if (!file.is_open()) {
    report.error = "The file " + path + " cannot be read (" + file.problem() + ")";
    return report;
  }
  const std::vector<std::uint64_t> ends = revision_ends(file);
  // One reading of the document for the validation data, then the
  // signatures (the search for them lets go of what it has read).
  const std::uint64_t last_end = readable_end(file, ends);
  OpenedPdf document = open_pdf(file, last_end, password);
  const DocumentValidationData dss = document.pdf ? read_validation_data(*document.pdf) : DocumentValidationData{};
  const SignatureScan scan = document.pdf ? find_signatures(*document.pdf) : SignatureScan{};
  if (!scan.opened) {
    report.error = "The document " + path + " cannot be opened: " + (document.pdf ? scan.error : document.problem);
    return report;
  }
  // The change analysis opens the document again for itself: this reading
  // is let go of first, so that the two never take memory at once.
  document.pdf.reset();
  const VerificationStore& store = verification_store();
  if (!store.ready) {
    report.error = store.problem;
    return report;
  }
  report.trust_checked = store.trust_anchors;
  report.store_problem = store.problem;
  report.opened = true;
  report.file_size = file.size();
  report.signatures.reserve(scan.signatures.size());
  SharedChecks shared(file);
  for (const SignatureDictionary& dictionary : scan.signatures)
    report.signatures.push_back(verify_signature(file, password, ends, dictionary, dss, shared));
  judge_later_changes(file, last_end, password, report.signatures, permit);
  name_archived_signatures(report.signatures);
  return report;
}

bool has_signer(const DocumentReport& report) {
  return std::any_of(report.signatures.begin(), report.signatures.end(),
                     [](const SignatureReport& s) { return !s.document_timestamp; });
}

bool all_signatures_hold(const DocumentReport& report) {
  return report.opened && has_signer(report) &&
         std::all_of(report.signatures.begin(), report.signatures.end(),
                     [](const SignatureReport& s) { return s.valid && s.after.permitted; });
}

Verdict verdict_of(const DocumentReport& report) {
  if (!report.opened) return Verdict::kUnreadable;
  if (!all_signatures_hold(report)) return Verdict::kBroken;
  const bool trusted_and_strong =
      std::all_of(report.signatures.begin(), report.signatures.end(),
                  [](const SignatureReport& s) {
                    return s.signer.trusted && !s.weak_digest;
                  });
  return trusted_and_strong ? Verdict::kHolds : Verdict::kUntrusted;
}

}  // namespace corvane::verify
