// The directory service over LDAP (OpenLDAP's client library). Any LDAP
// server works; Active Directory is one.
//
// Server and credentials come from the client library's own configuration
// (ldap.conf, ~/.ldaprc, LDAPURI, LDAPBINDDN, LDAPSASL_MECH, ...):
//  - a configured SASL mechanism (SASL_MECH, e.g. GSSAPI with a Kerberos
//    ticket) binds through SASL without prompting;
//  - else a configured bind DN (LDAPBINDDN, or BINDDN in the user's ldaprc)
//    binds with the password in the file named by CORVANE_LDAP_PASSWORD_FILE;
//  - else the bind is anonymous.
// The naming context is the root entry's defaultNamingContext (Active
// Directory), else its first namingContexts value. Children are read with
// paged one-level searches; an entry's class is its structuralObjectClass,
// else its last objectClass value. Referrals are not followed. Time-outs keep
// a dead or silent server from stalling the caller for more than a few
// seconds per request; a listing that goes beyond the session's pages or
// time ends as failed, naming the limit in `stopped`.
#pragma once

#include <memory>
#include <string>

#include "platform/directory.h"

namespace corvane::platform {

struct LdapSettings {
  std::string uri;                    // "" takes the URI of the configuration
  int network_timeout_seconds = 3;    // connecting
  int operation_timeout_seconds = 5;  // each bind or search request
  int page_size = 500;                // entries per page of a listing
  // Bounds of one session, whatever the server answers: pages read in all
  // listings, and seconds from the bind on after which no page is asked.
  int max_pages = 1000;
  int max_seconds = 60;
};

class LdapDirectory final : public Directory {
 public:
  explicit LdapDirectory(LdapSettings settings = {});
  [[nodiscard]] std::unique_ptr<DirectorySession> open_root() override;

 private:
  LdapSettings settings_;
};

// The bind DN of the configuration: LDAPBINDDN, else the last BINDDN line of
// the user's ldaprc files; "" when none is set.
[[nodiscard]] std::string configured_bind_dn();

}  // namespace corvane::platform
