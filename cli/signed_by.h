// Who signed a file `corvanepdf sign` has just written, for its report.
#pragma once

#include <string>

namespace corvane::cli {

// The signer of the newest signature in the PDF at `path`: the subject
// common name of the store's certificate named by `certificate` (--cert),
// or by the configured signing key when that is "" (cheap, whatever the
// size of the document); else the subject common name of the certificate in
// the file's newest signature (its whole subject when it has none); "" when
// neither names one.
[[nodiscard]] std::string signer_of(const std::string& path, const std::string& password,
                                    const std::string& certificate);

}  // namespace corvane::cli
