#include "timestamp/http_post.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace corvane::timestamp {
namespace {

struct Sink {
  std::vector<std::uint8_t>* body;
  bool too_large = false;
};

size_t collect(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (sink->body->size() + n > kMaxAnswerBytes) {
    sink->too_large = true;
    return 0;  // makes libcurl stop with a write error
  }
  sink->body->insert(sink->body->end(), data, data + n);
  return n;
}

// libcurl's global initialisation is not safe to run concurrently: once per
// process, before the first transfer.
void init_curl_once() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpAnswer exchange(const HttpRequest& request, bool post) {
  HttpAnswer answer;
  init_curl_once();
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
  if (!curl) {
    answer.error = "no HTTP client could be made";
    return answer;
  }
  const std::string header = "Content-Type: " + request.content_type;
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(curl_slist_append(nullptr, header.c_str()),
                                                                       &curl_slist_free_all);
  Sink sink{&answer.body};
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  if (post) {
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }
  curl_easy_setopt(c, CURLOPT_TIMEOUT, request.timeout_seconds);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, request.timeout_seconds);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  if (!request.user.empty()) {
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(c, CURLOPT_USERNAME, request.user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, request.password.c_str());
  }
  const CURLcode code = curl_easy_perform(c);
  if (code == CURLE_OPERATION_TIMEDOUT) {
    answer.error = "no answer within " + std::to_string(request.timeout_seconds) + " s";
  } else if (sink.too_large) {
    answer.error = "the answer is larger than " + std::to_string(kMaxAnswerBytes) + " bytes";
  } else if (code != CURLE_OK) {
    answer.error = curl_easy_strerror(code);
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &answer.status);
  return answer;
}

}  // namespace

HttpAnswer http_post(const HttpRequest& request) { return exchange(request, /*post=*/true); }

HttpAnswer http_get(const HttpRequest& request) { return exchange(request, /*post=*/false); }

}  // namespace corvane::timestamp
