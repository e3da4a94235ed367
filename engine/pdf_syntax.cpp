#include "engine/pdf_syntax.h"

#include <charconv>
#include <cstring>

namespace corvane::engine {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kMaxResolvedDepth = 8;

void append_resolved(ByteSink& out, QPDFObjectHandle value, int depth) {
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
        append_name(out, key);
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

void append_number(ByteSink& out, long long value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

void append_name(ByteSink& out, std::string_view name) {
  if (name.empty()) return;
  out.push_back(static_cast<std::uint8_t>(name[0]));
  for (std::size_t i = 1; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == 0) {
      out.push_back('#');  // qpdf's mark of a "#" that did not start an escape
    } else if (c < 33 || c > 126 || std::strchr("#()<>[]{}/%", c) != nullptr) {
      out.push_back('#');
      out.push_back(static_cast<std::uint8_t>(kHexDigits[c >> 4]));
      out.push_back(static_cast<std::uint8_t>(kHexDigits[c & 15]));
    } else {
      out.push_back(c);
    }
  }
}

bool is_printable_ascii(std::string_view bytes) noexcept {
  for (unsigned char c : bytes) {
    if (c < 32 || c > 126) return false;
  }
  return true;
}

void append_string(ByteSink& out, std::string_view value) {
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

void append_hex_string(ByteSink& out, std::string_view value) {
  out.push_back('<');
  for (unsigned char c : value) {
    out.push_back(static_cast<std::uint8_t>(kHexDigits[c >> 4]));
    out.push_back(static_cast<std::uint8_t>(kHexDigits[c & 15]));
  }
  out.push_back('>');
}

void append_scalar(ByteSink& out, QPDFObjectHandle value) {
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
      append_name(out, value.getName());
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
  ByteSink out;
  append_resolved(out, value, 0);
  const Bytes bytes = out.take();
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace corvane::engine
