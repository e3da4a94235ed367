// Placeholder until the PDF-update texts land.
#include <stdexcept>

#include "pdfupdate/signature_objects.h"
#include "pdfupdate/signing_time.h"
#include "pdfupdate/xref.h"

namespace corvane::pdfupdate {
std::int32_t readTrailerSize(SigningSession&) { return 0; }
void reserveSignatureEntries(SigningSession&) {}
std::string rewriteXrefEntries(SigningSession& s, std::int32_t) { return s.xrefText; }
void computeSignatureRect(SigningSession&) {}
std::string buildSignatureObjects(SigningSession&, SignerState&, const SignContentFn&) { return {}; }
std::string addAnnotToPage(SigningSession&) { return {}; }
std::string localTimeWithOffset() { throw std::runtime_error("time conversion is not available"); }
std::string pdfSigningDate() { throw std::runtime_error("time conversion is not available"); }
std::string format_local_time_with_offset(const LocalTime&, int) { return {}; }
std::string format_pdf_signing_date(const LocalTime&, int) { return {}; }
}  // namespace corvane::pdfupdate
