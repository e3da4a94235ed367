// The work of `corvanepdf certificates`, apart from argument parsing so that
// it can be driven directly, and the naming of a certificate for the setting
// UniqueContainerName.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace corvane::cli {

enum class CertificatesFormat { kLines, kTable, kJson };

// The certificate store in the chooser's order. kLines (for programs): one
// certificate per line, tab-separated: issuer, subject, valid from, valid
// to, the key's unique container name ("-" without a private key), the
// provider type name, whether `sign` can use it ("yes"/"no"), the SHA-256
// fingerprint and the nickname. kTable (for a person on a terminal): aligned
// columns nickname, name, e-mail, issuer, valid until, key type, with "*"
// before the selected certificate (UniqueContainerName). kJson: one JSON
// document with full names, e-mail and ISO 8601 times ("-" as null).
// Returns 0, or 1 with a message on `err` when the store cannot be opened
// or a token's login failed (the rest of the store is listed then).
int certificates_list(std::ostream& out, std::ostream& err, CertificatesFormat format);

// The unique container name of the store's certificate that `name` names
// (its unique container name, nickname, common name or SHA-256
// fingerprint) and that has a key signing can use; nullopt, with the usable
// certificates the store holds listed on `err`, when there is none.
[[nodiscard]] std::optional<std::string> container_name_for(const std::string& name, std::ostream& err);

}  // namespace corvane::cli
