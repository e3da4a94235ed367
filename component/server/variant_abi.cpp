#include "component/server/variant_abi.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "component/server/dispatch_adapter.h"
#include "corvanepdf/corvanepdf.h"

namespace corvane::component::server {
namespace {

// A malloc'd copy with a terminating NUL; nullptr when out of memory.
char* copy_text(const char* data, std::size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy == nullptr) return nullptr;
  if (length > 0) std::memcpy(copy, data, length);
  copy[length] = '\0';
  return copy;
}

}  // namespace

void clear_abi(CpdfVariant& v) {
  switch (v.vt) {
    case CPDF_VT_TEXT: std::free(v.value.text.data); break;
    case CPDF_VT_BYTES: std::free(v.value.bytes.data); break;
    case CPDF_VT_DISPATCH:
      if (v.value.dispatch) v.value.dispatch->vtbl->Release(v.value.dispatch);
      break;
    default: break;
  }
  std::memset(&v, 0, sizeof v);
  v.vt = CPDF_VT_EMPTY;
}

CpdfResult to_abi(const platform::Variant& value, CpdfVariant& out) {
  using Type = platform::Variant::Type;
  clear_abi(out);
  switch (value.type()) {
    case Type::kEmpty: return CPDF_S_OK;
    case Type::kBoolean:
      out.vt = CPDF_VT_BOOL;
      out.value.boolean = value.to_bool().value_or(false) ? CPDF_TRUE : CPDF_FALSE;
      return CPDF_S_OK;
    case Type::kInt32:
      out.vt = CPDF_VT_I4;
      out.value.i4 = value.to_int32().value_or(0);
      return CPDF_S_OK;
    case Type::kDouble:
      out.vt = CPDF_VT_R8;
      out.value.r8 = value.to_double().value_or(0.0);
      return CPDF_S_OK;
    case Type::kText: {
      const std::string& text = *value.text();
      if (text.size() > std::numeric_limits<std::uint32_t>::max()) return CPDF_E_OUTOFMEMORY;
      char* copy = copy_text(text.data(), text.size());
      if (copy == nullptr) return CPDF_E_OUTOFMEMORY;
      out.vt = CPDF_VT_TEXT;
      out.value.text.data = copy;
      out.value.text.length = static_cast<std::uint32_t>(text.size());
      return CPDF_S_OK;
    }
    case Type::kBytes: {
      const platform::ByteArray& bytes = *value.bytes();
      if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return CPDF_E_OUTOFMEMORY;
      auto* copy = static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
      if (copy == nullptr) return CPDF_E_OUTOFMEMORY;
      if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
      out.vt = CPDF_VT_BYTES;
      out.value.bytes.data = copy;
      out.value.bytes.length = static_cast<std::uint32_t>(bytes.size());
      return CPDF_S_OK;
    }
    case Type::kObject: {
      auto object = value.object();
      if (!object) return CPDF_S_OK;  // a null reference is "nothing"
      out.vt = CPDF_VT_DISPATCH;
      out.value.dispatch = make_dispatch(std::move(object));
      return CPDF_S_OK;
    }
  }
  return CPDF_S_OK;
}

bool from_abi(const CpdfVariant& in, platform::Variant& out) {
  switch (in.vt) {
    case CPDF_VT_EMPTY: out = platform::Variant(); return true;
    case CPDF_VT_BOOL: out = platform::Variant::boolean(in.value.boolean != 0); return true;
    case CPDF_VT_I4: out = platform::Variant(in.value.i4); return true;
    case CPDF_VT_R8: out = platform::Variant(in.value.r8); return true;
    case CPDF_VT_TEXT:
      out = platform::Variant(in.value.text.data
                                  ? std::string(in.value.text.data, in.value.text.length)
                                  : std::string());
      return true;
    case CPDF_VT_BYTES:
      out = platform::Variant(in.value.bytes.data
                                  ? platform::ByteArray(in.value.bytes.data,
                                                        in.value.bytes.data + in.value.bytes.length)
                                  : platform::ByteArray());
      return true;
    case CPDF_VT_DISPATCH: {
      if (in.value.dispatch == nullptr) {
        out = platform::Variant(std::shared_ptr<platform::AutomationObject>());
        return true;
      }
      auto object = object_of(in.value.dispatch);
      if (!object) return false;
      out = platform::Variant(std::move(object));
      return true;
    }
    default: return false;
  }
}

}  // namespace corvane::component::server

// ---- The variant helpers of the C interface ---------------------------------

extern "C" {

void corvanepdf_variant_init(CpdfVariant* variant) {
  if (variant == nullptr) return;
  std::memset(variant, 0, sizeof *variant);
  variant->vt = CPDF_VT_EMPTY;
}

void corvanepdf_variant_clear(CpdfVariant* variant) {
  if (variant != nullptr) corvane::component::server::clear_abi(*variant);
}

CpdfResult corvanepdf_variant_set_text(CpdfVariant* variant, const char* utf8) {
  if (variant == nullptr) return CPDF_E_POINTER;
  corvane::component::server::clear_abi(*variant);
  const std::size_t length = utf8 ? std::strlen(utf8) : 0;
  char* copy = corvane::component::server::copy_text(utf8 ? utf8 : "", length);
  if (copy == nullptr) return CPDF_E_OUTOFMEMORY;
  variant->vt = CPDF_VT_TEXT;
  variant->value.text.data = copy;
  variant->value.text.length = static_cast<std::uint32_t>(length);
  return CPDF_S_OK;
}

CpdfResult corvanepdf_variant_set_bytes(CpdfVariant* variant, const uint8_t* data,
                                        uint32_t length) {
  if (variant == nullptr || (data == nullptr && length > 0)) return CPDF_E_POINTER;
  corvane::component::server::clear_abi(*variant);
  auto* copy = static_cast<std::uint8_t*>(std::malloc(length == 0 ? 1 : length));
  if (copy == nullptr) return CPDF_E_OUTOFMEMORY;
  if (length > 0) std::memcpy(copy, data, length);
  variant->vt = CPDF_VT_BYTES;
  variant->value.bytes.data = copy;
  variant->value.bytes.length = length;
  return CPDF_S_OK;
}

void corvanepdf_variant_set_bool(CpdfVariant* variant, int value) {
  if (variant == nullptr) return;
  corvane::component::server::clear_abi(*variant);
  variant->vt = CPDF_VT_BOOL;
  variant->value.boolean = value ? CPDF_TRUE : CPDF_FALSE;
}

void corvanepdf_variant_set_int32(CpdfVariant* variant, int32_t value) {
  if (variant == nullptr) return;
  corvane::component::server::clear_abi(*variant);
  variant->vt = CPDF_VT_I4;
  variant->value.i4 = value;
}

void corvanepdf_variant_set_double(CpdfVariant* variant, double value) {
  if (variant == nullptr) return;
  corvane::component::server::clear_abi(*variant);
  variant->vt = CPDF_VT_R8;
  variant->value.r8 = value;
}

void corvanepdf_free(void* memory) { std::free(memory); }

}  // extern "C"
