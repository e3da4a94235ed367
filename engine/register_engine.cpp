#include "engine/register_engine.h"

#include <memory>

#include "engine/qpdf_engine.h"
#include "platform/object_factory.h"

namespace corvane::engine {

void register_engine_class() {
  platform::ObjectFactory::instance().register_class(
      kPdfEngineProgId, kPdfEngineClassId,
      [] { return std::make_shared<QpdfEngine>(); });
}

}  // namespace corvane::engine
