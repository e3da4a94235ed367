// Puts the certificate-store classes into the object factory.
#include "signing/capicom.h"
#include "signing/nss_signed_data.h"
#include "signing/nss_store.h"
#include "signing/sign_content.h"
#include "platform/object_factory.h"

namespace corvane::signing {

void register_signing_classes() {
  auto& factory = platform::ObjectFactory::instance();
  factory.register_class("", std::string(kStoreClassId), [] { return std::make_shared<NssStore>(); });
  factory.register_class("", std::string(kSignerClassId), [] { return std::make_shared<Signer>(); });
  factory.register_class("", std::string(kSignedDataClassId), [] { return std::make_shared<NssSignedData>(); });
  factory.register_class(std::string(kUtilitiesProgId), std::string(kUtilitiesClassId),
                         [] { return std::make_shared<Utilities>(); });
}

}  // namespace corvane::signing
