#include "peer_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "core/ascii.h"
#include "platform/http.h"

namespace tideloom {

namespace {

nlohmann::json Fetch(const std::string& method, const std::string& path, const std::string& body) {
  const HttpReply reply =
      HttpRequest(method, PeerUrl(path), body.empty() ? "" : "application/json", body);
  EXPECT_TRUE(reply) << "the HTTP test peer does not answer at " << PeerUrl("") << " ("
                     << reply.error << "); ctest starts it as a fixture";
  return nlohmann::json::parse(reply.body, nullptr, false);
}

} // namespace

std::string PeerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(TIDELOOM_HTTP_PEER_PORT) + path;
}

std::string UniquePrefix() {
  static std::atomic<int> counter{0};
  static const std::string run = std::to_string(std::random_device{}());
  // Ended, so that no prefix is the start of another.
  return "/t/" + run + "-" + std::to_string(counter++) + "-";
}

void ScriptPeer(const nlohmann::json& script) { Fetch("POST", "/peer/script", script.dump()); }

std::vector<RecordedRequest> RequestsUnder(const std::string& prefix) {
  std::vector<RecordedRequest> requests;
  const nlohmann::json list = Fetch("GET", "/peer/requests?prefix=" + prefix, "");
  for (const auto& item : list.is_array() ? list : nlohmann::json::array()) {
    const auto body = item["body"].get<std::vector<unsigned char>>();
    requests.push_back({item["method"], item["target"], {}, {body.begin(), body.end()}});
    for (const auto& header : item["headers"])
      requests.back().headers.emplace_back(header[0], header[1]);
  }
  return requests;
}

RecordedRequest OnlyRequestUnder(const std::string& prefix) {
  const std::vector<RecordedRequest> requests = RequestsUnder(prefix);
  EXPECT_EQ(requests.size(), 1u);
  return requests.empty() ? RecordedRequest{} : requests.front();
}

std::string HeaderValue(const RecordedRequest& request, const std::string& name) {
  for (const auto& [key, value] : request.headers) {
    if (EqualIgnoringAsciiCase(key, name)) return value;
  }
  return "";
}

int FreePort() { return Fetch("GET", "/peer/free-port", "").value("port", 0); }

} // namespace tideloom
