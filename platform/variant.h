// A value of the automation layer: what crosses a late-bound call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvane::platform {

class AutomationObject;

using ByteArray = std::vector<std::uint8_t>;

// Empty, Boolean, 32-bit integer, double, text (UTF-8), byte array indexed
// from 0, or an object reference. Booleans cross the C ABI as -1 / 0.
class Variant {
 public:
  enum class Type { kEmpty, kBoolean, kInt32, kDouble, kText, kBytes, kObject };

  Variant() = default;
  static Variant boolean(bool value);
  Variant(std::int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(ByteArray bytes) : value_(std::move(bytes)) {}
  Variant(std::shared_ptr<AutomationObject> object) : value_(std::move(object)) {}

  [[nodiscard]] Type type() const;
  [[nodiscard]] bool is_empty() const { return type() == Type::kEmpty; }

  // Conversions in the automation manner. Each returns nullopt when the value
  // cannot be converted (text that is no number, an object as a number, ...).
  [[nodiscard]] std::optional<bool> to_bool() const;
  [[nodiscard]] std::optional<std::int32_t> to_int32() const;
  [[nodiscard]] std::optional<double> to_double() const;
  [[nodiscard]] std::optional<std::string> to_text() const;

  // The held value when it has exactly that type, else nullptr.
  [[nodiscard]] const ByteArray* bytes() const { return std::get_if<ByteArray>(&value_); }
  [[nodiscard]] const std::string* text() const { return std::get_if<std::string>(&value_); }
  [[nodiscard]] std::shared_ptr<AutomationObject> object() const;

  bool operator==(const Variant& other) const = default;

 private:
  struct BooleanTag {
    bool value;
    bool operator==(const BooleanTag&) const = default;
  };
  using Value = std::variant<std::monostate, BooleanTag, std::int32_t, double, std::string,
                             ByteArray, std::shared_ptr<AutomationObject>>;
  explicit Variant(BooleanTag tag) : value_(tag) {}
  Value value_;
};

}  // namespace corvane::platform
