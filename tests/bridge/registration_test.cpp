#include "bridge/registration.h"

#include <gtest/gtest.h>

#include <mutex>
#include <nlohmann/json.hpp>

#include "bridge/bridge_state.h"
#include "bridge_fixture.h"
#include "core/config_store.h"
#include "settings_sandbox.h"

namespace {

class RegistrationTest : public BridgeTest {
protected:
  RegistrationRequest Request(const std::string& key = "KEY-9") const {
    return {"me@example.com", key, "machine-1", server.BaseUrl()};
  }

  std::string Register(const RegistrationRequest& request, const std::string& fileName = "Sales") {
    return RegisterBridge(request, [fileName] { return fileName; });
  }

  void ExpectBridgeUntouched() {
    const std::lock_guard<std::mutex> lock(stateMutex());
    EXPECT_FALSE(bridgeState().registered);
    EXPECT_EQ(bridgeState().licenseKey, "");
    EXPECT_EQ(bridgeState().registeredFileName, "");
    EXPECT_FALSE(bridgeState().updateCheckRunning.load());
    EXPECT_FALSE(settings.fileBytes().has_value());
  }

  SettingsSandbox settings;
};

TEST_F(RegistrationTest, MissingValuesAreNamedInOrderAndNothingIsSent) {
  EXPECT_EQ(Register({"", "", "", ""}), "ERROR: email is empty.");
  EXPECT_EQ(Register({"e", "", "m", server.BaseUrl()}), "ERROR: licenseKey is empty.");
  EXPECT_EQ(Register({"e", "k", "", server.BaseUrl()}), "ERROR: machineId is empty.");
  EXPECT_TRUE(server.Requests().empty());
  ExpectBridgeUntouched();
}

TEST_F(RegistrationTest, AcceptedRegistrationSwitchesTheBridgeOnAndStoresKeyAndService) {
  EXPECT_EQ(Register(Request()), "OK");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "/api/bridge/register");
  EXPECT_EQ(requests[0].contentType, "application/json");
  EXPECT_EQ(
      requests[0].body,
      R"({"email":"me@example.com","licenseKey":"KEY-9","machineId":"machine-1","pluginVersion":"1.6.18"})");
  {
    const std::lock_guard<std::mutex> lock(stateMutex());
    EXPECT_TRUE(bridgeState().registered);
    EXPECT_EQ(bridgeState().licenseKey, "KEY-9");
    EXPECT_EQ(bridgeState().baseUrl, server.BaseUrl());
    EXPECT_EQ(bridgeState().registeredFileName, "Sales");
  }
  const std::string stored = settings.fileBytes().value_or("");
  EXPECT_EQ(ConfigValue(stored, "licenseKey"), "KEY-9");
  EXPECT_EQ(ConfigValue(stored, "baseUrl"), server.BaseUrl());
  // The update check starts with it.
  EXPECT_TRUE(bridgeState().updateCheckRunning.load());
  RunBackgroundTasks();
  EXPECT_EQ(server.Requests().back().target, "/api/plugin/version");
}

TEST_F(RegistrationTest, CallWithoutFileContextKeepsTheKnownFileName) {
  ChangeState([](BridgeState& state) { state.registeredFileName = "Earlier"; });
  EXPECT_EQ(Register(Request(), ""), "OK");
  const std::lock_guard<std::mutex> lock(stateMutex());
  EXPECT_EQ(bridgeState().registeredFileName, "Earlier");
}

TEST_F(RegistrationTest, RefusalQuotesAtMostThreeHundredBytesOfWholeCharactersAndChangesNothing) {
  server.Answer("/api/bridge/register", 401, R"({"error":"unknown key"})");
  EXPECT_EQ(Register(Request()),
            R"(ERROR: registration refused (HTTP 401): {"error":"unknown key"})");
  // 299 ASCII bytes, then a three-byte character that the limit would cut in half.
  server.Answer("/api/bridge/register", 500, std::string(299, 'x') + "\xE2\x80\x94" + "tail");
  EXPECT_EQ(Register(Request()),
            "ERROR: registration refused (HTTP 500): " + std::string(299, 'x'));
  server.Answer("/api/bridge/register", 403, std::string(400, 'y'));
  EXPECT_EQ(Register(Request()),
            "ERROR: registration refused (HTTP 403): " + std::string(300, 'y'));
  ExpectBridgeUntouched();
  EXPECT_EQ(HeldBackgroundTasks(), 0u);
}

TEST_F(RegistrationTest, FailedExchangeGivesTheTransportErrorAndKeepsTheEarlierBridge) {
  ASSERT_EQ(Register(Request("FIRST")), "OK");
  RunBackgroundTasks();
  const std::string storedBefore = settings.fileBytes().value_or("");

  RegistrationRequest request = Request("SECOND");
  request.baseUrl = UnreachableBaseUrl();
  const std::string result = Register(request, "Other");
  EXPECT_NE(result, "OK");
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(result.rfind("ERROR: ", 0), std::string::npos) << "the HTTP layer's text, unchanged";

  const std::lock_guard<std::mutex> lock(stateMutex());
  EXPECT_EQ(bridgeState().licenseKey, "FIRST");
  EXPECT_EQ(bridgeState().baseUrl, server.BaseUrl());
  EXPECT_EQ(bridgeState().registeredFileName, "Sales");
  EXPECT_EQ(settings.fileBytes().value_or(""), storedBefore);
}

TEST_F(RegistrationTest, BaseUrlIsUsedAsGivenAndValuesAreEscaped) {
  RegistrationRequest request{"a\"b@x", "k\\1\n", "m\x01", server.BaseUrl() + "/"};
  EXPECT_EQ(Register(request), "OK");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "//api/bridge/register");
  const auto body = nlohmann::json::parse(requests[0].body);
  EXPECT_EQ(body["email"], "a\"b@x");
  EXPECT_EQ(body["licenseKey"], "k\\1\n");
  EXPECT_EQ(body["machineId"], "m\x01");
  EXPECT_EQ(ConfigValue(settings.fileBytes().value_or(""), "licenseKey"), "k\\1\n");
}

} // namespace
