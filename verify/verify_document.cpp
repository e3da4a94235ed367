#include "verify/verify_document.h"

#include <algorithm>

#include "signing/nss_database.h"
#include "verify/byte_source.h"
#include "verify/pdf_date.h"
#include "verify/signature_dictionaries.h"
#include "verify/signed_ranges.h"

namespace corvane::verify {
namespace {

// Both name a detached CMS signature over the byte ranges.
bool is_detached_cms(const std::string& sub_filter) {
  return sub_filter == "adbe.pkcs7.detached" || sub_filter == "ETSI.CAdES.detached";
}

// The format, the CAdES attributes and the timestamp. An attribute or a
// timestamp that does not hold makes a valid signature invalid.
void add_format_facts(SignatureReport& report, const std::string& sub_filter, std::span<const std::uint8_t> message,
                      const SignedContent& content, const DocumentValidationData& dss) {
  report.format_facts = read_format_facts(message, content, dss);
  report.format = format_name(sub_filter, report.format_facts);
  const FormatFacts& facts = report.format_facts;
  std::string problem;
  if (facts.message_digest_matches == false) problem = "the message-digest attribute does not match the signed bytes";
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
}

SignatureReport verify_signature(const ByteSource& file, const SignatureDictionary& dictionary,
                                 const DocumentValidationData& dss) {
  SignatureReport report;
  report.field_name = dictionary.field_name;
  report.signer.signing_time = readable_pdf_date(dictionary.signing_time);
  if (!is_detached_cms(dictionary.sub_filter)) {
    report.problem = dictionary.sub_filter.empty() ? "the signature does not say what kind it is (no /SubFilter)"
                                                   : "signatures of the kind /" + dictionary.sub_filter +
                                                         " are not supported";
    return report;
  }
  const SignedRanges ranges =
      check_signed_ranges(file, dictionary.byte_range, dictionary.contents_offset, dictionary.contents);
  if (!ranges.well_formed) {
    report.problem = ranges.problem;
    return report;
  }
  report.covers_whole_file = ranges.covers_whole_file;
  report.signed_end = ranges.signed_end;

  const CmsCheck cms = check_cms_signature(
      ranges.signature, [&file, &ranges](const PieceSink& sink) { return read_signed_bytes(file, ranges, sink); });
  const std::string time_from_m = report.signer.signing_time;
  report.signer = cms.signer;
  if (report.signer.signing_time.empty()) report.signer.signing_time = time_from_m;
  report.valid = cms.valid;
  report.problem = cms.problem;
  add_format_facts(report, dictionary.sub_filter, ranges.signature,
                   [&file, &ranges](const PieceSink& sink) { return read_signed_bytes(file, ranges, sink); }, dss);
  return report;
}

}  // namespace

DocumentReport verify_document(const std::string& path, const std::string& password) {
  DocumentReport report;
  const FileByteSource file(path);
  if (!file.is_open()) {
    report.error = "The file " + path + " cannot be read";
    return report;
  }
  const SignatureScan scan = find_signatures(path, password);
  if (!scan.opened) {
    report.error = "The document " + path + " cannot be opened: " + scan.error;
    return report;
  }
  // Without the store no signature can be checked: that is the document's
  // error, not one of each signature.
  if (!signing::ensure_database(report.error)) return report;
  report.opened = true;
  report.file_size = file.size();
  const DocumentValidationData dss = read_validation_data(path, password);
  for (const SignatureDictionary& dictionary : scan.signatures)
    report.signatures.push_back(verify_signature(file, dictionary, dss));
  return report;
}

bool all_signatures_hold(const DocumentReport& report) {
  return report.opened && !report.signatures.empty() &&
         std::all_of(report.signatures.begin(), report.signatures.end(),
                     [](const SignatureReport& s) { return s.valid && s.covers_whole_file; });
}

}  // namespace corvane::verify
