#include "peer_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>

#include "platform/http.h"

namespace tideloom {

namespace {

std::string Fetch(const std::string& method, const std::string& path, const std::string& body) {
  const HttpReply reply =
      HttpRequest(method, PeerUrl(path), body.empty() ? "" : "application/json", body);
  if (!reply) {
    ADD_FAILURE() << "the HTTP test peer does not answer at " << PeerUrl("") << " (" << reply.error
                  << "); ctest starts it as a fixture";
  }
  return reply.body;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

nlohmann::json FetchJson(const std::string& path) {
  return nlohmann::json::parse(Fetch("GET", path, ""), nullptr, false);
}

} // namespace

std::string PeerUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(TIDELOOM_HTTP_PEER_PORT) + path;
}

std::string UniquePrefix() {
  static std::atomic<int> counter{0};
  static const unsigned long long run = std::random_device{}();
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? std::string(test->name()) : "test";
  std::replace(name.begin(), name.end(), '/', '_');
  return "/t/" + std::to_string(run) + "-" + std::to_string(counter++) + "-" + name;
}

void ScriptPeer(const nlohmann::json& script) { Fetch("POST", "/peer/script", script.dump()); }

std::vector<RecordedRequest> RequestsUnder(const std::string& prefix) {
  std::vector<RecordedRequest> requests;
  const nlohmann::json list = FetchJson("/peer/requests?prefix=" + prefix);
  if (!list.is_array()) return requests;
  for (const auto& item : list) {
    RecordedRequest request{item["method"], item["target"], {}, Unhex(item["bodyHex"])};
    for (const auto& header : item["headers"])
      request.headers.emplace_back(header[0], header[1]);
    requests.push_back(std::move(request));
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
    if (Lower(key) == Lower(name)) return value;
  }
  return "";
}

bool HasHeader(const RecordedRequest& request, const std::string& name) {
  return std::any_of(request.headers.begin(), request.headers.end(),
                     [&](const auto& header) { return Lower(header.first) == Lower(name); });
}

int FreePort() { return FetchJson("/peer/free-port").value("port", 0); }

} // namespace tideloom
