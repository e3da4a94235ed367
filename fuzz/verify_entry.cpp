// The verifier on a whole file: whatever the bytes, verify_document never
// throws, and its report and verdict agree with each other: a valid
// signature has no problem and usable ranges, one that covers the whole
// file ends at its end, and the verdict "holds" only for signatures that
// are valid, covering and trusted.
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_support.h"
#include "verify/verify_document.h"

namespace corvane::fuzz {

void verify_entry(std::string_view input) {
  static const std::string path = scratch_dir() + "/verify.pdf";
  write_scratch_file(path, input);
  const verify::DocumentReport report = verify::verify_document(path, "");
  const verify::Verdict verdict = verify::verdict_of(report);
  if (!report.opened) {
    check(!report.error.empty(), "a document was not opened without a reason");
    check(report.signatures.empty(), "an unopened document has signatures");
    check(verdict == verify::Verdict::kUnreadable, "an unopened document is not unreadable");
    return;
  }
  check(report.file_size == input.size(), "the file size is not the input's");
  for (const verify::SignatureReport& s : report.signatures) {
    check(s.valid == s.problem.empty(), "a signature's problem does not match its validity");
    check(!s.valid || s.signed_end > 0, "a valid signature has no signed ranges");
    check(s.signed_end <= report.file_size, "signed ranges beyond the end of the file");
    check(!s.covers_whole_file || s.signed_end == report.file_size, "whole file covered, but not to its end");
    if (verdict == verify::Verdict::kHolds)
      check(s.valid && s.covers_whole_file && s.signer.trusted && !s.weak_digest, "a verdict of holds is wrong");
  }
  check(verdict != verify::Verdict::kUnreadable, "an opened document is unreadable");
}

}  // namespace corvane::fuzz

CORVANE_FUZZ_TARGET(corvane::fuzz::verify_entry)
