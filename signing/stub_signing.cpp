// Placeholder until the certificate store lands: nothing is signed.
#include "signing/sign_content.h"

namespace corvane::signing {
std::string signContent(SignerState&, std::string_view, platform::TextEncoding) { return {}; }
std::string show_chooser(SignerState&) { return "No certificate store is available"; }
void register_signing_classes() {}
}  // namespace corvane::signing
