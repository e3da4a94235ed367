#include "platform/ldap_directory.h"

#include <ldap.h>
#include <sasl/sasl.h>
#include <sys/time.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/secret_file.h"
#include "platform/text_case.h"

namespace corvane::platform {
namespace {

constexpr char kAnyEntry[] = "(objectClass=*)";

// Answers the SASL library's questions with its own defaults, never asking
// anybody: the component runs without a terminal.
int sasl_defaults(LDAP*, unsigned, void*, void* prompts) {
  for (auto* p = static_cast<sasl_interact_t*>(prompts); p && p->id != SASL_CB_LIST_END; ++p) {
    const char* answer = p->defresult ? p->defresult : "";
    p->result = answer;
    p->len = static_cast<unsigned>(std::strlen(answer));
  }
  return LDAP_SUCCESS;
}

// The password for a simple bind: the first line of the file named by
// CORVANE_LDAP_PASSWORD_FILE, "" when there is none.
std::string configured_password() {
  const char* file = std::getenv("CORVANE_LDAP_PASSWORD_FILE");
  if (!file || !*file) return "";
  return read_secret_file(file).bytes.value_or("");
}

std::string option_text(LDAP* ld, int option) {
  char* value = nullptr;
  if (ldap_get_option(ld, option, &value) != LDAP_OPT_SUCCESS || !value) return "";
  std::string out(value);
  ldap_memfree(value);
  return out;
}

std::vector<std::string> values_of(LDAP* ld, LDAPMessage* entry, const char* attribute) {
  std::vector<std::string> out;
  berval** values = ldap_get_values_len(ld, entry, attribute);
  if (!values) return out;
  for (berval** v = values; *v; ++v) out.emplace_back((*v)->bv_val, (*v)->bv_len);
  ldap_value_free_len(values);
  return out;
}

class LdapSession final : public DirectorySession {
 public:
  LdapSession(LDAP* ld, const LdapSettings& settings)
      : ld_(ld),
        settings_(settings),
        deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(settings.max_seconds)) {}
  ~LdapSession() override { ldap_unbind_ext_s(ld_, nullptr, nullptr); }
  LdapSession(const LdapSession&) = delete;
  LdapSession& operator=(const LdapSession&) = delete;

  std::optional<std::string> naming_context() override {
    const char* attributes[] = {"defaultNamingContext", "namingContexts", nullptr};
    LDAPMessage* result = nullptr;
    std::optional<std::string> context;
    if (search("", LDAP_SCOPE_BASE, attributes, nullptr, &result) == LDAP_SUCCESS) {
      if (LDAPMessage* root = ldap_first_entry(ld_, result)) {
        auto values = values_of(ld_, root, "defaultNamingContext");
        if (values.empty()) values = values_of(ld_, root, "namingContexts");
        if (!values.empty()) context = values.front();
      }
    }
    ldap_msgfree(result);
    return context;
  }

  bool entry_exists(std::string_view name) override {
    const char* attributes[] = {LDAP_NO_ATTRS, nullptr};
    LDAPMessage* result = nullptr;
    const bool found = search(name, LDAP_SCOPE_BASE, attributes, nullptr, &result) == LDAP_SUCCESS &&
                       ldap_first_entry(ld_, result) != nullptr;
    ldap_msgfree(result);
    return found;
  }

  DirectoryListing children(std::string_view name) override {
    DirectoryListing listing;
    berval cookie{0, nullptr};
    do {
      if (++pages_ > settings_.max_pages) {
        listing.stopped = "more than " + std::to_string(settings_.max_pages) + " pages";
      } else if (std::chrono::steady_clock::now() > deadline_) {
        listing.stopped = "more than " + std::to_string(settings_.max_seconds) + " seconds";
      }
      if (!listing.stopped.empty()) {
        listing.failed = true;
        break;
      }
      LDAPControl* page = nullptr;
      if (ldap_create_page_control(ld_, settings_.page_size, cookie.bv_val ? &cookie : nullptr,
                                   /*iscritical=*/0, &page) != LDAP_SUCCESS) {
        listing.failed = true;
        break;
      }
      LDAPControl* controls[] = {page, nullptr};
      const char* attributes[] = {"objectClass", "structuralObjectClass", "sAMAccountName", "proxyAddresses",
                                  nullptr};
      LDAPMessage* result = nullptr;
      const int rc = search(name, LDAP_SCOPE_ONELEVEL, attributes, controls, &result);
      ldap_control_free(page);
      ber_memfree(cookie.bv_val);
      cookie = {0, nullptr};
      // A failed search may still have sent entries before its error.
      const bool read_all = add_children(result, listing);
      if (rc != LDAP_SUCCESS || !read_all) {
        listing.failed = true;
      } else {
        next_page_cookie(result, cookie);
      }
      ldap_msgfree(result);
    } while (!listing.failed && cookie.bv_len > 0);
    ber_memfree(cookie.bv_val);
    return listing;
  }

 private:
  int search(std::string_view base, int scope, const char** attributes, LDAPControl** controls,
             LDAPMessage** result) {
    timeval timeout{settings_.operation_timeout_seconds, 0};
    const std::string base_text(base);
    return ldap_search_ext_s(ld_, base_text.c_str(), scope, kAnyEntry, const_cast<char**>(attributes),
                             /*attrsonly=*/0, controls, nullptr, &timeout, LDAP_NO_LIMIT, result);
  }

  // Appends the entries of `result`; false when one cannot be read.
  bool add_children(LDAPMessage* result, DirectoryListing& listing) {
    for (LDAPMessage* entry = ldap_first_entry(ld_, result); entry; entry = ldap_next_entry(ld_, entry)) {
      char* dn = ldap_get_dn(ld_, entry);
      if (!dn) return false;
      DirectoryChild child;
      child.name = dn;
      ldap_memfree(dn);
      auto classes = values_of(ld_, entry, "structuralObjectClass");
      if (classes.empty()) classes = values_of(ld_, entry, "objectClass");
      if (!classes.empty()) child.class_name = classes.back();
      auto accounts = values_of(ld_, entry, "sAMAccountName");
      if (!accounts.empty()) child.account_name = accounts.front();
      child.proxy_addresses = values_of(ld_, entry, "proxyAddresses");
      listing.children.push_back(std::move(child));
    }
    return true;
  }

  // The cookie for the next page; stays empty on the last page and when the
  // server ignored the paging request.
  void next_page_cookie(LDAPMessage* result, berval& cookie) {
    LDAPControl** returned = nullptr;
    int code = LDAP_SUCCESS;
    if (ldap_parse_result(ld_, result, &code, nullptr, nullptr, nullptr, &returned, /*freeit=*/0) !=
        LDAP_SUCCESS)
      return;
    if (LDAPControl* paging = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr)) {
      ber_int_t estimate = 0;
      if (ldap_parse_pageresponse_control(ld_, paging, &estimate, &cookie) != LDAP_SUCCESS) cookie = {0, nullptr};
    }
    ldap_controls_free(returned);
  }

  LDAP* ld_;
  LdapSettings settings_;
  std::chrono::steady_clock::time_point deadline_;
  int pages_ = 0;
};

bool bind(LDAP* ld) {
  const std::string mechanism = option_text(ld, LDAP_OPT_X_SASL_MECH);
  if (!mechanism.empty())
    return ldap_sasl_interactive_bind_s(ld, nullptr, mechanism.c_str(), nullptr, nullptr, LDAP_SASL_QUIET,
                                        sasl_defaults, nullptr) == LDAP_SUCCESS;
  const std::string dn = configured_bind_dn();
  std::string password = dn.empty() ? "" : configured_password();
  berval credentials{password.size(), password.data()};
  return ldap_sasl_bind_s(ld, dn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, nullptr) ==
         LDAP_SUCCESS;
}

std::string bind_dn_in_file(const std::string& path) {
  const auto text = read_whole_file(path);
  if (!text) return "";
  std::string found;
  std::size_t start = 0;
  while (start < text->size()) {
    auto end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    std::string_view line = trim_blanks(std::string_view(*text).substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line = trim_blanks(line.substr(0, line.size() - 1));
    const auto gap = line.find_first_of(" \t");
    if (gap != std::string_view::npos && ascii_lower(line.substr(0, gap)) == "binddn")
      found = trim_blanks(line.substr(gap));
    start = end + 1;
  }
  return found;
}

}  // namespace

std::string configured_bind_dn() {
  if (std::getenv("LDAPNOINIT")) return "";
  if (const char* dn = std::getenv("LDAPBINDDN")) return dn;
  const char* home_env = std::getenv("HOME");
  const std::string home = home_env ? home_env : "";
  std::vector<std::string> files;
  if (!home.empty()) files.insert(files.end(), {home + "/ldaprc", home + "/.ldaprc"});
  files.emplace_back("ldaprc");
  if (const char* rc = std::getenv("LDAPRC"); rc && *rc) {
    const std::string name(rc);
    if (!home.empty()) files.insert(files.end(), {home + "/" + name, home + "/." + name});
    files.push_back(name);
  }
  std::string dn;
  for (const auto& file : files) {
    std::string in_file = bind_dn_in_file(file);
    if (!in_file.empty()) dn = std::move(in_file);
  }
  return dn;
}

LdapDirectory::LdapDirectory(LdapSettings settings) : settings_(std::move(settings)) {}

std::unique_ptr<DirectorySession> LdapDirectory::open_root() {
  LDAP* ld = nullptr;
  if (ldap_initialize(&ld, settings_.uri.empty() ? nullptr : settings_.uri.c_str()) != LDAP_SUCCESS || !ld)
    return nullptr;
  const int version = LDAP_VERSION3;
  timeval network{settings_.network_timeout_seconds, 0};
  timeval operation{settings_.operation_timeout_seconds, 0};
  const int time_limit = settings_.operation_timeout_seconds;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &network);
  ldap_set_option(ld, LDAP_OPT_TIMEOUT, &operation);
  ldap_set_option(ld, LDAP_OPT_TIMELIMIT, &time_limit);
  if (!bind(ld)) {
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return nullptr;
  }
  return std::make_unique<LdapSession>(ld, settings_);
}

}  // namespace corvane::platform
