// One HTTP(S) exchange (POST or GET) with libcurl, bounded in time and in the
// size of the answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::timestamp {

struct HttpAnswer {
  // 0 when no HTTP answer came (no connection, timeout).
  long status = 0;
  std::vector<std::uint8_t> body;
  // Why the exchange failed ("" when an HTTP answer came, whatever its status).
  std::string error;
};

struct HttpRequest {
  std::string url;
  std::string content_type;
  std::vector<std::uint8_t> body;
  std::string user;  // basic authentication when not empty
  std::string password;
  long timeout_seconds = 10;
};

// Answers larger than this are cut off and reported as an error.
inline constexpr std::size_t kMaxAnswerBytes = 4 * 1024 * 1024;

// Never throws. libcurl's global set-up runs once per process (guarded).
[[nodiscard]] HttpAnswer http_post(const HttpRequest& request);
// A GET of request.url (content_type and body unused); never throws.
[[nodiscard]] HttpAnswer http_get(const HttpRequest& request);

}  // namespace corvane::timestamp
