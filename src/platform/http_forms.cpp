#include "platform/http.h"

namespace tideloom {

bool HttpPostJson(std::string_view url, std::string_view jsonBody, std::string& reply,
                  std::string& error, int* statusCode) {
  return HttpRequest("POST", url, "application/json", jsonBody, reply, error, statusCode);
}

bool HttpGet(std::string_view url, std::string& reply, std::string& error, int* statusCode,
             int64_t limitMs) {
  return HttpRequest("GET", url, "", "", reply, error, statusCode, limitMs);
}

} // namespace tideloom
