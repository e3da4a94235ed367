// Owning pointers to OpenSSL objects: OpensslHandle<TS_REQ, TS_REQ_free>. Header
// only, so every folder that calls OpenSSL shares it without linking it here.
#pragma once

#include <memory>

namespace corvane::platform {

template <class T, void (*Free)(T*)>
struct FreeWith {
  void operator()(T* p) const { Free(p); }
};

template <class T, void (*Free)(T*)>
using OpensslHandle = std::unique_ptr<T, FreeWith<T, Free>>;

}  // namespace corvane::platform
