// The work of `corvanepdf certificates`, apart from argument parsing so that
// it can be driven directly.
#pragma once

#include <ostream>

namespace corvane::cli {

// The certificate store in the chooser's order, one certificate per line,
// tab-separated: issuer, subject, valid from, valid to, the key's unique
// container name ("-" without a private key), the provider type name,
// whether `sign` can use it ("yes"/"no"), the SHA-256 fingerprint and the
// nickname. With `header`, a line of column names comes first. Returns 0, or
// 1 with a message on `err` when the store cannot be opened or a token's
// login failed (the rest of the store is listed then).
int certificates_list(std::ostream& out, std::ostream& err, bool header);

}  // namespace corvane::cli
