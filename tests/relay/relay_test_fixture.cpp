#include "relay_test_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <system_error>

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tideloom-relay-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void RelayTest::SetUp() { StartRelay(); }

void RelayTest::TearDown() { StopRelay(); }

void RelayTest::StartRelay(RelayServiceConfig config) {
  StopRelay();
  config.host = "127.0.0.1";
  config.port = 0;
  config.dataDir = data.path / "relay-data";
  if (config.pluginVersion.empty()) config.pluginVersion = "1.6.18";
  relay = StartRelayService(config);
  client = std::make_unique<httplib::Client>("127.0.0.1", relay->port);
  client->set_read_timeout(60, 0);
}

void RelayTest::StopRelay() {
  for (const int fd : rawConnections)
    close(fd);
  rawConnections.clear();
  client.reset();
  relay.reset();
}

HttpAnswer RelayTest::Send(const std::string& method, const std::string& path,
                           const httplib::Headers& headers, const std::string& body,
                           const std::string& contentType) {
  const httplib::Result result =
      method == "GET" ? client->Get(path.c_str(), headers)
                      : client->Post(path.c_str(), headers, body, contentType.c_str());
  return result ? HttpAnswer{result->status, result->body} : HttpAnswer{};
}

void RelayTest::SendRaw(const std::string& text) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  rawConnections.push_back(fd);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(relay->port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

HttpAnswer RelayTest::Get(const std::string& pathAndQuery) { return Send("GET", pathAndQuery, {}); }

HttpAnswer RelayTest::Post(const std::string& pathAndQuery, const std::string& body,
                           const std::string& contentType) {
  return Send("POST", pathAndQuery, {}, body, contentType);
}

std::string RelayTest::Queue(const nlohmann::json& command) {
  const HttpAnswer answer = Post("/dev/commands", command.dump());
  EXPECT_EQ(answer.status, 200) << answer.body;
  return answer.json().at("id").get<std::string>();
}

HttpAnswer RelayTest::Poll(const std::string& key) {
  return Get("/api/bridge/command/next?licenseKey=" + key + "&version=1.6.18");
}

HttpAnswer RelayTest::Complete(const std::string& id, const nlohmann::json& body) {
  return Post("/api/bridge/command/" + id + "/complete", body.dump());
}

nlohmann::json RelayTest::Command(const std::string& id) {
  const HttpAnswer answer = Get("/dev/commands/" + id);
  EXPECT_EQ(answer.status, 200) << answer.body;
  return answer.json();
}

nlohmann::json RelayTest::Events(long long since) {
  const HttpAnswer answer = Get("/dev/events?since=" + std::to_string(since));
  EXPECT_EQ(answer.status, 200) << answer.body;
  return answer.json().at("events");
}
