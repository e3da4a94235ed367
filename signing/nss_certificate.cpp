#include "signing/nss_certificate.h"

#include <certdb.h>
#include <pk11pub.h>
#include <secoid.h>

#include <ctime>

#include "platform/hex.h"
#include "signing/nss_database.h"
#include "signing/ole_date.h"

namespace corvane::signing {
namespace {

std::string item_text(const SECItem& item) {
  return std::string(reinterpret_cast<const char*>(item.data), item.len);
}

// The value of the first attribute with tag `tag` in `name` (UTF-8, letter
// case as written), or "".
std::string name_attribute(const CERTName& name, SECOidTag tag) {
  if (!name.rdns) return {};
  for (CERTRDN** rdn = name.rdns; *rdn; ++rdn) {
    if (!(*rdn)->avas) continue;
    for (CERTAVA** ava = (*rdn)->avas; *ava; ++ava) {
      if (CERT_GetAVATag(*ava) != tag) continue;
      ItemHandle value(CERT_DecodeAVAValue(&(*ava)->value));
      if (value) return item_text(*value);
    }
  }
  return {};
}

// The value of the name's most specific attribute, or "".
std::string last_attribute(const CERTName& name) {
  if (!name.rdns || !name.rdns[0]) return {};
  CERTRDN** rdn = name.rdns;
  while (rdn[1]) ++rdn;
  if (!(*rdn)->avas || !(*rdn)->avas[0]) return {};
  ItemHandle value(CERT_DecodeAVAValue(&(*rdn)->avas[0]->value));
  return value ? item_text(*value) : std::string();
}

// Common name, else the e-mail attribute, else the most specific attribute.
std::string simple_name(const CERTName& name) {
  std::string text = name_attribute(name, SEC_OID_AVA_COMMON_NAME);
  if (text.empty()) text = name_attribute(name, SEC_OID_PKCS9_EMAIL_ADDRESS);
  if (text.empty()) text = last_attribute(name);
  return text;
}

// The first subject alternative name of `type`, or "".
std::string first_alt_name(CERTCertificate* cert, CERTGeneralNameType type) {
  SECItem extension{siBuffer, nullptr, 0};
  if (CERT_FindCertExtension(cert, SEC_OID_X509_SUBJECT_ALT_NAME, &extension) != SECSuccess) return {};
  std::string found;
  ArenaHandle arena(PORT_NewArena(DER_DEFAULT_CHUNKSIZE));
  CERTGeneralName* names = arena ? CERT_DecodeAltNameExtension(arena.get(), &extension) : nullptr;
  for (CERTGeneralName* n = names; n;) {
    if (n->type == type) {
      found = item_text(n->name.other);
      break;
    }
    n = CERT_GetNextGeneralName(n);
    if (n == names) break;
  }
  SECITEM_FreeItem(&extension, PR_FALSE);
  return found;
}

std::string colon_hex(const unsigned char* data, unsigned int length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i) text += ':';
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

std::optional<std::string> owned_text(char* text) {
  NssString owned(text);
  if (!owned) return std::nullopt;
  return std::string(owned.get());
}

std::optional<double> local_date(PRTime time) {
  return local_ole_from_unix(static_cast<std::time_t>(time / PR_USEC_PER_SEC));
}

}  // namespace

NssPrivateKey::NssPrivateKey(PrivateKeyHandle key, std::string fallback_name)
    : key_(std::move(key)), fallback_name_(std::move(fallback_name)) {}

std::optional<std::string> NssPrivateKey::ContainerName() const {
  NssString nickname(PK11_GetPrivateKeyNickname(key_.get()));
  if (nickname && *nickname) return std::string(nickname.get());
  return fallback_name_;
}

std::optional<std::string> NssPrivateKey::UniqueContainerName() const {
  ItemHandle id(PK11_GetLowLevelKeyIDForPrivateKey(key_.get()));
  if (!id || !key_->pkcs11Slot) return std::nullopt;
  return std::string(PK11_GetTokenName(key_->pkcs11Slot)) + ":" +
         platform::lower_hex(std::span<const std::uint8_t>(id->data, id->len));
}

std::optional<std::string> NssPrivateKey::ProviderName() const {
  if (!key_->pkcs11Slot) return std::nullopt;
  return std::string(PK11_GetTokenName(key_->pkcs11Slot));
}

std::optional<int> NssPrivateKey::ProviderType() const {
  switch (SECKEY_GetPrivateKeyType(key_.get())) {
    case rsaKey:
      return kProviderRsaFull;
    case dsaKey:
      return kProviderDss;
    case ecKey:
      return kProviderEcdsa;
    default:
      return kUnknownProvider;
  }
}

std::optional<bool> NssPrivateKey::IsAccessible() const {
  PK11SlotInfo* slot = key_->pkcs11Slot;
  if (!slot) return std::nullopt;
  return PK11_IsPresent(slot) && (!PK11_NeedLogin(slot) || PK11_IsLoggedIn(slot, nullptr));
}

std::optional<bool> NssPrivateKey::IsProtected() const {
  if (!key_->pkcs11Slot) return std::nullopt;
  return PK11_NeedLogin(key_->pkcs11Slot) != PR_FALSE;
}

std::optional<bool> NssPrivateKey::IsExportable() const {
  SECItem value{siBuffer, nullptr, 0};
  if (PK11_ReadRawAttribute(PK11_TypePrivKey, key_.get(), CKA_EXTRACTABLE, &value) != SECSuccess)
    return std::nullopt;
  const bool extractable = value.len > 0 && value.data[0] != 0;
  SECITEM_FreeItem(&value, PR_FALSE);
  return extractable;
}

std::optional<bool> NssPrivateKey::IsRemovable() const {
  if (!key_->pkcs11Slot) return std::nullopt;
  return PK11_IsRemovable(key_->pkcs11Slot) != PR_FALSE;
}

std::optional<bool> NssPrivateKey::IsMachineKeyset() const {
  if (!key_->pkcs11Slot) return std::nullopt;
  // Keys of the database's own token are as system-wide as the database;
  // a smartcard's keys belong to whoever holds the card.
  return PK11_IsInternal(key_->pkcs11Slot) && database_is_system_wide();
}

std::optional<bool> NssPrivateKey::IsHardwareDevice() const {
  if (!key_->pkcs11Slot) return std::nullopt;
  return PK11_IsHW(key_->pkcs11Slot) != PR_FALSE;
}

NssCertificate::NssCertificate(CertHandle cert, bool has_key) : cert_(std::move(cert)), has_key_(has_key) {}

std::shared_ptr<signing::PrivateKey> NssCertificate::PrivateKey() const {
  if (!has_key_) return nullptr;
  PrivateKeyHandle key(PK11_FindKeyByAnyCert(cert_.get(), nullptr));
  if (!key) return nullptr;
  return std::make_shared<NssPrivateKey>(std::move(key), cert_->nickname ? cert_->nickname : "");
}

std::optional<std::string> NssCertificate::GetInfo(CertInfo info) const {
  switch (info) {
    case CertInfo::kSubjectSimpleName:
      return simple_name(cert_->subject);
    case CertInfo::kIssuerSimpleName:
      return simple_name(cert_->issuer);
    case CertInfo::kEmailName: {
      std::string email = name_attribute(cert_->subject, SEC_OID_PKCS9_EMAIL_ADDRESS);
      if (email.empty()) email = name_attribute(cert_->subject, SEC_OID_RFC1274_MAIL);
      if (email.empty()) email = first_alt_name(cert_.get(), certRFC822Name);
      return email;
    }
    case CertInfo::kDnsName:
      return first_alt_name(cert_.get(), certDNSName);
  }
  return std::nullopt;
}

std::optional<double> NssCertificate::ValidFromDate() const {
  PRTime from = 0, to = 0;
  if (CERT_GetCertTimes(cert_.get(), &from, &to) != SECSuccess) return std::nullopt;
  return local_date(from);
}

std::optional<double> NssCertificate::ValidToDate() const {
  PRTime from = 0, to = 0;
  if (CERT_GetCertTimes(cert_.get(), &from, &to) != SECSuccess) return std::nullopt;
  return local_date(to);
}

std::optional<platform::ByteArray> NssCertificate::Export(int encoding) const {
  if (encoding != kBinaryEncoding) return std::nullopt;
  const SECItem& der = cert_->derCert;
  return platform::ByteArray(der.data, der.data + der.len);
}

std::optional<std::string> NssCertificate::SubjectName() const {
  return owned_text(CERT_NameToAscii(&cert_->subject));
}

std::optional<std::string> NssCertificate::IssuerName() const {
  return owned_text(CERT_NameToAscii(&cert_->issuer));
}

std::optional<std::string> NssCertificate::SerialNumber() const {
  return colon_hex(cert_->serialNumber.data, cert_->serialNumber.len);
}

std::optional<std::string> NssCertificate::Sha256Fingerprint() const {
  unsigned char digest[32];
  if (PK11_HashBuf(SEC_OID_SHA256, digest, cert_->derCert.data, static_cast<PRInt32>(cert_->derCert.len)) !=
      SECSuccess)
    return std::nullopt;
  return colon_hex(digest, sizeof digest);
}

std::optional<std::string> NssCertificate::Nickname() const {
  if (!cert_->nickname) return std::nullopt;
  return std::string(cert_->nickname);
}

}  // namespace corvane::signing
