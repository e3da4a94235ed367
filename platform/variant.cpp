#include "platform/variant.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/automation.h"

namespace corvane::platform {
namespace {

std::optional<double> parse_double(const std::string& text) {
  std::string_view view = text;
  while (!view.empty() && (view.front() == ' ' || view.front() == '\t')) view.remove_prefix(1);
  while (!view.empty() && (view.back() == ' ' || view.back() == '\t')) view.remove_suffix(1);
  if (view.empty()) return std::nullopt;
  if (view.front() == '+') view.remove_prefix(1);
  double value = 0;
  auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
  if (ec != std::errc() || end != view.data() + view.size()) return std::nullopt;
  return value;
}

}  // namespace

Variant Variant::boolean(bool value) { return Variant(BooleanTag{value}); }

Variant::Type Variant::type() const {
  switch (value_.index()) {
    case 0: return Type::kEmpty;
    case 1: return Type::kBoolean;
    case 2: return Type::kInt32;
    case 3: return Type::kDouble;
    case 4: return Type::kText;
    case 5: return Type::kBytes;
    default: return Type::kObject;
  }
}

std::optional<bool> Variant::to_bool() const {
  if (auto b = std::get_if<BooleanTag>(&value_)) return b->value;
  if (auto i = std::get_if<std::int32_t>(&value_)) return *i != 0;
  if (auto d = std::get_if<double>(&value_)) return *d != 0;
  if (std::holds_alternative<std::monostate>(value_)) return false;
  if (auto t = std::get_if<std::string>(&value_)) {
    if (*t == "True" || *t == "true" || *t == "TRUE") return true;
    if (*t == "False" || *t == "false" || *t == "FALSE") return false;
    if (auto d = parse_double(*t)) return *d != 0;
  }
  return std::nullopt;
}

std::optional<double> Variant::to_double() const {
  if (auto b = std::get_if<BooleanTag>(&value_)) return b->value ? -1.0 : 0.0;
  if (auto i = std::get_if<std::int32_t>(&value_)) return *i;
  if (auto d = std::get_if<double>(&value_)) return *d;
  if (std::holds_alternative<std::monostate>(value_)) return 0.0;
  if (auto t = std::get_if<std::string>(&value_)) return parse_double(*t);
  return std::nullopt;
}

std::optional<std::int32_t> Variant::to_int32() const {
  auto d = to_double();
  if (!d || !std::isfinite(*d)) return std::nullopt;
  // Automation rounds halves to the even neighbour.
  const double rounded = std::nearbyint(*d);
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

std::optional<std::string> Variant::to_text() const {
  if (auto b = std::get_if<BooleanTag>(&value_)) return std::string(b->value ? "True" : "False");
  if (auto i = std::get_if<std::int32_t>(&value_)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&value_)) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *d);
    if (ec != std::errc()) return std::nullopt;
    return std::string(buffer, end);
  }
  if (std::holds_alternative<std::monostate>(value_)) return std::string();
  if (auto t = std::get_if<std::string>(&value_)) return *t;
  return std::nullopt;
}

std::shared_ptr<AutomationObject> Variant::object() const {
  if (auto o = std::get_if<std::shared_ptr<AutomationObject>>(&value_)) return *o;
  return nullptr;
}

}  // namespace corvane::platform
