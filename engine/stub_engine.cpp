// Placeholder until the engine on qpdf lands: no engine class is registered.
#include "engine/register_engine.h"

namespace corvane::engine {
void register_engine_class() {}
}  // namespace corvane::engine
