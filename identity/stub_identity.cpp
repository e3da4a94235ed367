// Placeholder until user.ini and the directory lookup land.
#include "identity/user_identity.h"

namespace corvane::identity {
std::int32_t ensure_user_entry(std::string&) { return -1; }
std::string read_user_email(std::string&) { return {}; }
void store_user_email(std::string&, std::string&) {}
}  // namespace corvane::identity
