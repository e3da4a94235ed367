// The cross-reference table and trailer of the rebuilt document.
#pragma once

#include <cstdint>
#include <string>

#include "pdfupdate/signing_session.h"

namespace corvane::pdfupdate {

// The old `/Size`, or 0; sets trailerSize and newSize.
std::int32_t readTrailerSize(SigningSession& session);
// Reserves two entries before "trailer"; sets firstNewObject, may lower
// newSize. Sets session.unsupportedLayout for tables outside the layout.
void reserveSignatureEntries(SigningSession& session);
// Rewrites every entry from objectOffsets and the startxref value.
std::string rewriteXrefEntries(SigningSession& session, std::int32_t startxref_value);

}  // namespace corvane::pdfupdate
