#include "platform/http.h"
#include "platform/http_body.h"

namespace tideloom {

namespace {

HttpReply Exchange(std::string_view method, std::string_view url, std::string_view contentType,
                   std::string_view body, const BodySource* source, int64_t limitMs) {
  HttpReply reply;
  reply.received = ExchangeOverBackEnd(method, url, contentType, body, source, reply.body,
                                       reply.error, &reply.status, limitMs);
  return reply;
}

} // namespace

HttpReply HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                      std::string_view body, int64_t limitMs) {
  return Exchange(method, url, contentType, body, nullptr, limitMs);
}

HttpReply HttpRequest(std::string_view method, std::string_view url, std::string_view contentType,
                      const BodySource& body, int64_t limitMs) {
  return Exchange(method, url, contentType, {}, &body, limitMs);
}

HttpReply HttpPostJson(std::string_view url, std::string_view jsonBody) {
  return HttpRequest("POST", url, "application/json", jsonBody);
}

HttpReply HttpGet(std::string_view url, int64_t limitMs) {
  return HttpRequest("GET", url, "", "", limitMs);
}

} // namespace tideloom
