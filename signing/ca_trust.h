// Trusting a certification authority for signatures in the user's store:
// `corvanepdf trust CA.pem|NICKNAME` and `import --trust-ca`. A trusted CA
// is one the store trusts for e-mail signing, the usage verify checks a
// signer's chain for; its other trust (web sites, code) is left as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::signing {

using DerCertificate = std::vector<std::uint8_t>;

// The certificates of `file`: every CERTIFICATE block of a PEM text (other
// blocks are skipped), or one DER certificate. Empty, with `error` saying
// why, when there is none.
[[nodiscard]] std::vector<DerCertificate> read_certificates(std::string_view file, std::string& error);

// Whether two SHA-256 fingerprints are the same, written with or without
// colons, in either case; a text shorter than 64 characters names none.
[[nodiscard]] bool same_fingerprint(std::string_view a, std::string_view b);

struct CaFacts {
  std::string subject;      // the full distinguished name
  std::string fingerprint;  // SHA-256, colon-separated upper-case hex
  std::string nickname;     // its name in the store
  bool is_ca = false;       // its basic constraints let it issue certificates
};

// The facts of `der`; nullopt when it is not a certificate. Needs the
// database open (ensure_database or ensure_writable_database).
[[nodiscard]] std::optional<CaFacts> certificate_facts(const DerCertificate& der);

// `base` (a common name; "" counts as "Imported certificate"), with " (2)",
// " (3)"... added until no certificate of the store has it as nickname.
[[nodiscard]] std::string free_nickname(const std::string& base);

// Trusts `der` for signatures in the user's store, adding it (named by its
// common name) when the store lacks it. Opens the database for writing, so
// it must come before any other use in the process, or after another
// writing one (import). Refuses, changing nothing, a certificate that is
// not a CA. Returns its facts, or nullopt with `error` filled.
[[nodiscard]] std::optional<CaFacts> trust_ca(const DerCertificate& der, std::string& error);

// The DER bytes of the store's certificate named `name` (its nickname, with
// or without the token's name, or its SHA-256 fingerprint); nullopt with
// `error` filled (the store cannot be opened, or holds no such
// certificate). Opens the database for writing, as trust_ca does.
[[nodiscard]] std::optional<DerCertificate> store_certificate_named(const std::string& name, std::string& error);

}  // namespace corvane::signing
