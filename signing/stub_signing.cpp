// Placeholder until the chooser lands.
#include "signing/sign_content.h"

namespace corvane::signing {
std::string show_chooser(SignerState&) { return "No display or terminal is available to choose a certificate; set UniqueContainerName with 'corvanepdf settings set'"; }
}  // namespace corvane::signing
