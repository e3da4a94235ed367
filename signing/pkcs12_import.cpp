#include "signing/pkcs12_import.h"

#include <p12.h>
#include <p12plcy.h>
#include <pk11pub.h>
#include <prerror.h>
#include <secerr.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "signing/ca_trust.h"
#include "signing/nss_certificate.h"
#include "signing/nss_database.h"
#include "signing/nss_handles.h"
#include "signing/token_login.h"

namespace corvane::signing {
namespace {

struct DecoderDeleter {
  void operator()(SEC_PKCS12DecoderContext* p) const { SEC_PKCS12DecoderFinish(p); }
};
using DecoderHandle = std::unique_ptr<SEC_PKCS12DecoderContext, DecoderDeleter>;

std::string nss_error(const std::string& what) {
  const PRErrorCode code = PR_GetError();
  if (code == SEC_ERROR_BAD_PASSWORD || code == SEC_ERROR_PKCS12_PRIVACY_PASSWORD_INCORRECT)
    return what + ": wrong password";
  const char* text = PR_ErrorToString(code, PR_LANGUAGE_I_DEFAULT);
  return text && *text ? what + ": " + text : what;
}

// The password as PKCS#12 takes it: UTF-16 big-endian with a terminating
// zero character. Invalid UTF-8 bytes are taken as Latin-1.
std::vector<unsigned char> bmp_password(std::string_view utf8) {
  std::vector<unsigned char> out;
  auto put = [&out](char32_t c) {
    if (c >= 0x10000) {
      c -= 0x10000;
      const char32_t high = 0xD800 + (c >> 10), low = 0xDC00 + (c & 0x3FF);
      for (const char32_t unit : {high, low}) {
        out.push_back(static_cast<unsigned char>(unit >> 8));
        out.push_back(static_cast<unsigned char>(unit & 0xFF));
      }
      return;
    }
    out.push_back(static_cast<unsigned char>(c >> 8));
    out.push_back(static_cast<unsigned char>(c & 0xFF));
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 0 ? b : b & (0x3F >> extra);
    bool valid = i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!valid) c = b;
    put(c);
    i += valid ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

// A nickname for a certificate the file names none for, or one already in
// the database: the subject's common name, with " (2)", " (3)"... added
// until it is free.
SECItem* fresh_nickname(SECItem* old_nickname, PRBool* cancel, void* wincx) {
  *cancel = PR_FALSE;
  std::string base;
  if (old_nickname && old_nickname->data)
    base.assign(reinterpret_cast<const char*>(old_nickname->data), old_nickname->len);
  else if (auto* cert = static_cast<CERTCertificate*>(wincx)) {
    NssString common(CERT_GetCommonName(&cert->subject));
    base = common ? common.get() : "Imported certificate";
  }
  while (!base.empty() && base.back() == '\0') base.pop_back();
  const std::string name = free_nickname(base);
  // NSS reads the nickname back with strlen: the copy ends with a zero
  // byte that its length does not count.
  SECItem* item = SECITEM_AllocItem(nullptr, nullptr, static_cast<unsigned int>(name.size() + 1));
  if (!item) return nullptr;
  std::memcpy(item->data, name.c_str(), name.size() + 1);
  item->type = siAsciiString;
  item->len = static_cast<unsigned int>(name.size());
  return item;
}

void swap_pairs(unsigned char* bytes, unsigned int length) {
  for (unsigned int i = 0; i + 1 < length; i += 2) std::swap(bytes[i], bytes[i + 1]);
}

// NSS converts PKCS#12 names and passwords between UCS-2 and narrow text
// through a function the application supplies; this one goes through UTF-8.
PRBool ucs2_narrow(PRBool to_unicode, unsigned char* in, unsigned int in_length, unsigned char* out,
                   unsigned int max_out, unsigned int* out_length, PRBool swap_bytes) {
  std::vector<unsigned char> source(in, in + in_length);
  if (!to_unicode && swap_bytes) swap_pairs(source.data(), in_length);
  const PRBool done =
      PORT_UCS2_UTF8Conversion(to_unicode, source.data(), in_length, out, max_out, out_length);
  if (done && to_unicode && swap_bytes) swap_pairs(out, *out_length);
  return done;
}

void enable_ciphers() {
  PORT_SetUCS2_ASCIIConversionFunction(ucs2_narrow);
  for (const long cipher : {PKCS12_RC4_40, PKCS12_RC4_128, PKCS12_RC2_CBC_40, PKCS12_RC2_CBC_128, PKCS12_DES_56,
                            PKCS12_DES_EDE3_168, PKCS12_AES_CBC_128, PKCS12_AES_CBC_192, PKCS12_AES_CBC_256})
    SEC_PKCS12EnableCipher(cipher, PR_TRUE);
}

// Whether the verified file holds a private key (plain or shrouded).
bool holds_private_key(SEC_PKCS12DecoderContext* decoder) {
  if (SEC_PKCS12DecoderIterateInit(decoder) != SECSuccess) return false;
  const SEC_PKCS12DecoderItem* item = nullptr;
  bool found = false;
  while (SEC_PKCS12DecoderIterateNext(decoder, &item) == SECSuccess)
    found = found || item->type == SEC_OID_PKCS12_V1_KEY_BAG_ID ||
            item->type == SEC_OID_PKCS12_V1_PKCS8_SHROUDED_KEY_BAG_ID;
  return found;
}

}  // namespace

std::optional<std::vector<ImportedKey>> import_pkcs12(std::span<const std::uint8_t> file,
                                                      const std::string& password, std::string& error,
                                                      std::vector<std::vector<std::uint8_t>>* chain) {
  if (!ensure_writable_database(error)) return std::nullopt;
  enable_ciphers();
  SlotHandle slot(PK11_GetInternalKeySlot());
  if (!slot) {
    error = nss_error("The certificate store has no key slot");
    return std::nullopt;
  }
  // A store with a password is opened as for signing.
  if (std::string problem = log_in_to_tokens(); !problem.empty() && !PK11_IsLoggedIn(slot.get(), nullptr)) {
    error = problem;
    return std::nullopt;
  }
  std::vector<unsigned char> secret = bmp_password(password);
  SECItem password_item{siBuffer, secret.data(), static_cast<unsigned int>(secret.size())};
  DecoderHandle decoder(
      SEC_PKCS12DecoderStart(&password_item, slot.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  const bool read = decoder &&
                    SEC_PKCS12DecoderUpdate(decoder.get(), const_cast<unsigned char*>(file.data()),
                                            static_cast<unsigned long>(file.size())) == SECSuccess &&
                    SEC_PKCS12DecoderVerify(decoder.get()) == SECSuccess;
  if (!read) {
    std::fill(secret.begin(), secret.end(), 0);
    error = nss_error("The file cannot be read as PKCS#12");
    return std::nullopt;
  }
  // A file without a key would only add certificates nobody can sign with.
  if (!holds_private_key(decoder.get())) {
    std::fill(secret.begin(), secret.end(), 0);
    return std::vector<ImportedKey>{};
  }
  // The decoder reads the password again while it imports the key.
  const bool imported = SEC_PKCS12DecoderValidateBags(decoder.get(), fresh_nickname) == SECSuccess &&
                        SEC_PKCS12DecoderImportBags(decoder.get()) == SECSuccess;
  std::fill(secret.begin(), secret.end(), 0);
  if (!imported) {
    error = nss_error("The certificate store refused the import");
    return std::nullopt;
  }
  std::vector<ImportedKey> keys;
  CertListHandle certs(SEC_PKCS12DecoderGetCerts(decoder.get()));
  if (!certs) return keys;
  for (CERTCertListNode* n = CERT_LIST_HEAD(certs.get()); !CERT_LIST_END(n, certs.get()); n = CERT_LIST_NEXT(n)) {
    PrivateKeyHandle key(PK11_FindKeyByAnyCert(n->cert, nullptr));
    if (!key) {
      if (chain) chain->emplace_back(n->cert->derCert.data, n->cert->derCert.data + n->cert->derCert.len);
      continue;
    }
    const NssPrivateKey facts(std::move(key), "");
    NssString common(CERT_GetCommonName(&n->cert->subject));
    keys.push_back({facts.UniqueContainerName().value_or(""), common ? common.get() : ""});
  }
  return keys;
}

}  // namespace corvane::signing
