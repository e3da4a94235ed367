#include "verify/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace corvane::verify {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t utf8_length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  return length;
}

}  // namespace

std::string json_string(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  while (!text.empty()) {
    const std::size_t length = utf8_length(text);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      text.remove_prefix(1);
      continue;
    }
    const char c = text.front();
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length);
  }
  return out + "\"";
}

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_ << ',';
  first_.back() = false;
}

void JsonWriter::begin_object() {
  before_value();
  out_ << '{';
  first_.push_back(true);
}

void JsonWriter::end_object() {
  out_ << '}';
  first_.pop_back();
  if (first_.empty()) out_ << '\n';
}

void JsonWriter::begin_array() {
  before_value();
  out_ << '[';
  first_.push_back(true);
}

void JsonWriter::end_array() {
  out_ << ']';
  first_.pop_back();
  if (first_.empty()) out_ << '\n';
}

void JsonWriter::key(std::string_view name) {
  before_value();
  out_ << json_string(name) << ':';
  after_key_ = true;
}

void JsonWriter::value(std::string_view text) {
  before_value();
  out_ << json_string(text);
}

void JsonWriter::value(bool flag) {
  before_value();
  out_ << (flag ? "true" : "false");
}

void JsonWriter::value(std::uint64_t number) {
  before_value();
  out_ << number;
}

void JsonWriter::value(double number) {
  char text[32];
  const auto [end, error] = std::isfinite(number) ? std::to_chars(text, text + sizeof text, number)
                                                  : std::to_chars_result{text, std::errc::invalid_argument};
  if (error != std::errc()) return null();  // JSON has no infinities
  before_value();
  out_ << std::string_view(text, static_cast<std::size_t>(end - text));
}

void JsonWriter::null() {
  before_value();
  out_ << "null";
}

}  // namespace corvane::verify
