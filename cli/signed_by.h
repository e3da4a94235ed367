// Who signed a file `corvanepdf sign` has just written, for its report.
#pragma once

#include <string>

namespace corvane::cli {

// The signer of the newest signature in the PDF at `path`: the subject
// common name of the configured signing certificate when the store has it
// and no certificate was given for the run (cheap, whatever the size of the
// document), else the subject of the certificate in the file's newest
// signature; "" when neither names one.
[[nodiscard]] std::string signer_of(const std::string& path, const std::string& password, bool certificate_given);

}  // namespace corvane::cli
