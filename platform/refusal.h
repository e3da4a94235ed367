// Why an operation was refused: a code a program acts on, the one-line
// message a person reads, and the cause in the words of the layer below (the
// engine's or the file system's), when the message quotes one. The three
// travel unchanged from where the refusal is made to lasterror, the C
// interface and the command's message: nobody reads them back out of the log.
//
// An empty Refusal (code kNone) means the operation goes on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/error_codes.h"

namespace corvane::platform {

// The kinds of failure a host tells apart (the list and what each means:
// platform/error_codes.h; published as CPDF_ERROR_* in
// include/corvanepdf/abi.h).
enum class ErrorCode : std::int32_t {
#define CORVANE_ERROR_CODE(name, c_name, number) name = number,
  CORVANE_ERROR_CODES(CORVANE_ERROR_CODE)
#undef CORVANE_ERROR_CODE
};

class Refusal {
 public:
  // No refusal.
  Refusal() = default;
  // A refusal of kind kFailed with `message`; "" is no refusal. For code
  // that says why in words alone.
  Refusal(std::string message)  // NOLINT(google-explicit-constructor): text converts
      : code_(message.empty() ? ErrorCode::kNone : ErrorCode::kFailed), message_(std::move(message)) {}
  Refusal(const char* message) : Refusal(std::string(message)) {}  // NOLINT(google-explicit-constructor)
  Refusal(std::string_view message) : Refusal(std::string(message)) {}  // NOLINT(google-explicit-constructor)
  // A refusal of kind `code` (kNone makes no refusal, whatever the text).
  Refusal(ErrorCode code, std::string message, std::string cause = {})
      : code_(code), message_(std::move(message)), cause_(std::move(cause)) {
    if (code_ == ErrorCode::kNone) *this = Refusal();
  }

  // True when there is no refusal: the operation goes on.
  [[nodiscard]] bool empty() const { return code_ == ErrorCode::kNone; }
  [[nodiscard]] ErrorCode code() const { return code_; }
  // The one line for a person; "" when empty.
  [[nodiscard]] const std::string& message() const { return message_; }
  // The part of the message that quotes the layer below, "" when none.
  [[nodiscard]] const std::string& cause() const { return cause_; }

  void clear() { *this = Refusal(); }
  // The same refusal as another kind (a text refusal of a lower layer that
  // the caller knows the kind of); an empty one stays empty.
  [[nodiscard]] Refusal as(ErrorCode code) && {
    if (!empty()) code_ = code;
    return std::move(*this);
  }

 private:
  ErrorCode code_ = ErrorCode::kNone;
  std::string message_;
  std::string cause_;
};

}  // namespace corvane::platform
