// Importing a PKCS#12 file (.p12, .pfx): its private key, certificate and
// chain go into the user's certificate database, which is made when it is
// missing.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::signing {

struct ImportedKey {
  std::string unique_container;  // what UniqueContainerName and --cert take
  std::string subject;           // the certificate's subject common name
};

// Imports `file` (the bytes of a PKCS#12 file) protected by `password`
// (UTF-8). Opens the database for writing, so it must be the process's first
// use of the database. Returns the imported certificates that have a key (none,
// and nothing imported, when the file holds no private key);
// nullopt with `error` filled when the file cannot be read with the
// password or the database refuses the import. `chain`, unless null,
// receives the DER bytes of the file's other certificates (its chain).
[[nodiscard]] std::optional<std::vector<ImportedKey>> import_pkcs12(
    std::span<const std::uint8_t> file, const std::string& password, std::string& error,
    std::vector<std::vector<std::uint8_t>>* chain = nullptr);

}  // namespace corvane::signing
