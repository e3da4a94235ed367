// `corvanepdf --version`.
#pragma once

#include <string>

namespace corvane::cli {

// "corvanepdf 1.0.0" and, on lines of their own, the versions of the qpdf
// and NSS libraries loaded in this process.
[[nodiscard]] std::string version_text();

}  // namespace corvane::cli
