// Who signed a file `corvanepdf sign` has just written, for its report.
#pragma once

#include <string>

namespace corvane::cli {

// The subject of the signer's certificate of the newest signature in the
// PDF at `path`; "" when the file holds none that names a signer.
[[nodiscard]] std::string signer_of(const std::string& path, const std::string& password);

}  // namespace corvane::cli
