// The user's personal store on the NSS database.
//
// It holds every certificate that has a private key in one of the database's
// tokens, and every other certificate that is not a CA certificate. Its
// order: by nickname (byte order; a token's certificates are named
// "token:nickname"), then by DER encoding. So the order is the same on every
// run while the database is unchanged.
//
// Opening logs in to the tokens that need it (token_login.h); the keys of a
// token whose login failed are missing, and LoginProblem says why.
#pragma once

#include <vector>

#include "signing/store_objects.h"
#include "signing/nss_handles.h"

namespace corvane::signing {

class NssStore final : public Store {
 public:
  // Only kCurrentUserStore, "My" (any letter case) and kStoreReadOnly are
  // accepted; opening again re-reads the database.
  bool Open(int location, std::string_view name, int mode, platform::CallError& error) override;
  [[nodiscard]] std::int32_t Count() const override;
  [[nodiscard]] std::shared_ptr<Certificate> Item(std::int32_t index) const override;
  void Close() override;
  [[nodiscard]] std::string LoginProblem() const override { return login_problem_; }

 private:
  struct Entry {
    CertHandle cert;
    bool has_key = false;
  };
  std::vector<Entry> entries_;
  std::string login_problem_;
};

}  // namespace corvane::signing
