#include "engine/pdf_syntax.h"

#include <charconv>

namespace corvane::engine {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kMaxResolvedDepth = 8;

void append_resolved(Bytes& out, QPDFObjectHandle value, int depth) {
  if (depth > kMaxResolvedDepth) {
    append(out, "null");
    return;
  }
  switch (value.getTypeCode()) {
    case ::ot_array: {
      append(out, "[ ");
      for (auto& item : value.aitems()) {
        append_resolved(out, item, depth + 1);
        append(out, " ");
      }
      append(out, "]");
      return;
    }
    case ::ot_dictionary: {
      append(out, "<< ");
      for (auto& [key, item] : value.ditems()) {
        if (item.isNull()) continue;
        append(out, QPDFObjectHandle::newName(key).unparse());
        append(out, " ");
        append_resolved(out, item, depth + 1);
        append(out, " ");
      }
      append(out, ">>");
      return;
    }
    case ::ot_string:
      append_string(out, value.getStringValue());
      return;
    default:
      append_scalar(out, value);
      return;
  }
}

}  // namespace

void append_number(Bytes& out, long long value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.insert(out.end(), buffer, end);
}

bool is_printable_ascii(std::string_view bytes) noexcept {
  for (unsigned char c : bytes) {
    if (c < 32 || c > 126) return false;
  }
  return true;
}

void append_string(Bytes& out, std::string_view value) {
  if (!is_printable_ascii(value)) {
    append_hex_string(out, value);
    return;
  }
  out.push_back('(');
  for (char c : value) {
    if (c == '(' || c == ')' || c == '\\') out.push_back('\\');
    out.push_back(static_cast<std::uint8_t>(c));
  }
  out.push_back(')');
}

void append_hex_string(Bytes& out, std::string_view value) {
  const std::size_t start = out.size();
  out.resize(start + 2 * value.size() + 2);
  std::uint8_t* p = out.data() + start;
  *p++ = '<';
  for (unsigned char c : value) {
    *p++ = kHexDigits[c >> 4];
    *p++ = kHexDigits[c & 15];
  }
  *p = '>';
}

void append_scalar(Bytes& out, QPDFObjectHandle value) {
  switch (value.getTypeCode()) {
    case ::ot_boolean:
      append(out, value.getBoolValue() ? "true" : "false");
      return;
    case ::ot_integer:
      append_number(out, value.getIntValue());
      return;
    case ::ot_real:
      append(out, value.getRealValue());
      return;
    case ::ot_name:
      append(out, value.unparse());
      return;
    case ::ot_string:
      append_string(out, value.getStringValue());
      return;
    default:
      append(out, "null");
      return;
  }
}

std::string resolved_text(QPDFObjectHandle value) {
  Bytes out;
  append_resolved(out, value, 0);
  return std::string(out.begin(), out.end());
}

}  // namespace corvane::engine
