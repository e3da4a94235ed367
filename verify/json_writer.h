// A small writer of one JSON document for the --json outputs: it keeps the
// commas and escapes texts. Output only; nothing here parses JSON.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::verify {

class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  // The name of the next member of the object being written.
  void key(std::string_view name);
  void value(std::string_view text);
  void value(const char* text) { value(std::string_view(text)); }
  void value(bool flag);
  void value(std::uint64_t number);
  // The shortest text that reads back as `number`; null when it is not finite.
  void value(double number);
  void null();

  template <class T>
  void member(std::string_view name, const T& v) {
    key(name);
    value(v);
  }

 private:
  void before_value();

  std::ostream& out_;
  std::vector<bool> first_;  // per open object or array: no member written yet
  bool after_key_ = false;
};

// `text` as a JSON string with its quotes: the quote, the backslash and
// control characters escaped, bytes that are not UTF-8 replaced by U+FFFD.
[[nodiscard]] std::string json_string(std::string_view text);

}  // namespace corvane::verify
