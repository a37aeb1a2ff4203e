// A relay serving on a loopback port of its own, with a fresh data folder, and a client for it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "relay/relay_service.h"

// A folder under the system's temporary folder, removed with everything in it at the end.
struct TemporaryFolder {
  TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder();
  std::filesystem::path path;
};

struct HttpAnswer {
  int status = 0; // 0 when no answer came
  std::string body;
  nlohmann::json json() const { return nlohmann::json::parse(body); }
};

class RelayTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Starts (or restarts) the relay on the fixture's data folder with `config`'s other settings.
  void StartRelay(RelayServiceConfig config = {});
  void StopRelay();

  HttpAnswer Get(const std::string& pathAndQuery);
  HttpAnswer Post(const std::string& pathAndQuery, const std::string& body,
                  const std::string& contentType = "application/json");
  // A GET (no content type) or POST with headers of the caller's choosing.
  HttpAnswer Send(const std::string& method, const std::string& path,
                  const httplib::Headers& headers, const std::string& body = "",
                  const std::string& contentType = "");
  // Opens a connection of its own and sends `text` as it is, leaving it open until the relay
  // stops: for clients that stall or go away mid-request.
  void SendRaw(const std::string& text);

  // Queues through the development endpoint and returns the new id.
  std::string Queue(const nlohmann::json& command);
  // One poll for `key`, as the plug-in sends it.
  HttpAnswer Poll(const std::string& key);
  HttpAnswer Complete(const std::string& id, const nlohmann::json& body);
  nlohmann::json Command(const std::string& id);
  nlohmann::json Events(long long since = 0);

  TemporaryFolder data;
  std::unique_ptr<RelayService> relay;
  std::unique_ptr<httplib::Client> client;
  std::vector<int> rawConnections;
};
