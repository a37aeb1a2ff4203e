#include "platform/http.h"

namespace tideloom {

HttpReply HttpPostJson(std::string_view url, std::string_view jsonBody) {
  return HttpRequest("POST", url, "application/json", jsonBody);
}

HttpReply HttpGet(std::string_view url, int64_t limitMs) {
  return HttpRequest("GET", url, "", "", limitMs);
}

} // namespace tideloom
