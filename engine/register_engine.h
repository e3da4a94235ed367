// Makes the PDF engine creatable through the object factory by its class
// identifier and ProgID (engine/pdf_engine.h). Idempotent.
#pragma once

namespace corvane::engine {
void register_engine_class();
}  // namespace corvane::engine
