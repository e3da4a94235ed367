// Puts the certificate-store classes into the object factory.
#include "signing/sign_content.h"

#include <mutex>

#include "platform/object_factory.h"
#include "signing/store_objects.h"
#include "signing/nss_signed_data.h"
#include "signing/nss_store.h"

namespace corvane::signing {

// Once per process: registering again would undo a test's override.
void register_signing_classes() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto& factory = platform::ObjectFactory::instance();
    factory.register_class("", std::string(kStoreClassId), [] { return std::make_shared<NssStore>(); });
    factory.register_class("", std::string(kSignerClassId), [] { return std::make_shared<Signer>(); });
    factory.register_class("", std::string(kSignedDataClassId), [] { return std::make_shared<NssSignedData>(); });
    factory.register_class(std::string(kUtilitiesProgId), std::string(kUtilitiesClassId),
                           [] { return std::make_shared<Utilities>(); });
  });
}

}  // namespace corvane::signing
