// Owning handles for NSS objects: each frees its object with the matching
// NSS call when it goes out of scope.
#pragma once

#include <cert.h>
#include <cms.h>
#include <keyhi.h>
#include <pk11pub.h>
#include <secitem.h>

#include <memory>

namespace corvane::signing {

struct NssDeleter {
  void operator()(CERTCertificate* p) const { CERT_DestroyCertificate(p); }
  void operator()(CERTCertList* p) const { CERT_DestroyCertList(p); }
  void operator()(SECKEYPrivateKey* p) const { SECKEY_DestroyPrivateKey(p); }
  void operator()(SECKEYPublicKey* p) const { SECKEY_DestroyPublicKey(p); }
  void operator()(PK11SlotInfo* p) const { PK11_FreeSlot(p); }
  void operator()(PLArenaPool* p) const { PORT_FreeArena(p, PR_FALSE); }
  void operator()(NSSCMSMessage* p) const { NSS_CMSMessage_Destroy(p); }
  void operator()(SECItem* p) const { SECITEM_FreeItem(p, PR_TRUE); }
  void operator()(char* p) const { PORT_Free(p); }
};

using CertHandle = std::unique_ptr<CERTCertificate, NssDeleter>;
using CertListHandle = std::unique_ptr<CERTCertList, NssDeleter>;
using PrivateKeyHandle = std::unique_ptr<SECKEYPrivateKey, NssDeleter>;
using PublicKeyHandle = std::unique_ptr<SECKEYPublicKey, NssDeleter>;
using SlotHandle = std::unique_ptr<PK11SlotInfo, NssDeleter>;
using ArenaHandle = std::unique_ptr<PLArenaPool, NssDeleter>;
using CmsMessageHandle = std::unique_ptr<NSSCMSMessage, NssDeleter>;
using ItemHandle = std::unique_ptr<SECItem, NssDeleter>;
using NssString = std::unique_ptr<char, NssDeleter>;

}  // namespace corvane::signing
