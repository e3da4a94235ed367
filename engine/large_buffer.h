// Buffers for whole documents. The first write to each 4 KiB page of new
// memory is a page fault, and for a document of tens of megabytes the
// faults cost more than copying the bytes; such a buffer asks the kernel
// for 2 MiB pages where it can.
#pragma once

#include <cstddef>

#include "engine/byte_sink.h"

namespace corvane::engine {

// An empty vector with room for `capacity` bytes (with none when that much
// cannot be reserved). Reserved but unwritten memory is not resident, so a
// generous capacity costs nothing.
[[nodiscard]] Bytes reserve_bytes(std::size_t capacity);

}  // namespace corvane::engine
