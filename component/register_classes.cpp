#include "component/register_classes.h"

#include <memory>
#include <mutex>

#include "component/edit_object.h"
#include "engine/register_engine.h"
#include "platform/object_factory.h"
#include "signing/sign_content.h"

namespace corvane::component {

void register_component_classes() {
  static std::once_flag once;
  std::call_once(once, [] {
    engine::register_engine_class();
    signing::register_signing_classes();
    platform::ObjectFactory::instance().register_class(
        kEditProgId, kEditClassId, [] { return std::make_shared<EditObject>(); });
  });
}

}  // namespace corvane::component
