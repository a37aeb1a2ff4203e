#include <gtest/gtest.h>

#include "bridge/bridge_state.h"
#include "bridge/registration.h"
#include "bridge_fixture.h"
#include "platform/config_store.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

class RegistrationTest : public BridgeTest {
protected:
  RegistrationRequest Request(const std::string& key = "KEY-9") const {
    return {"me@example.com", key, "machine-1", BaseUrl()};
  }

  static std::string Register(const RegistrationRequest& request,
                              const std::string& fileName = "Sales") {
    return RegisterBridge(request, [fileName] { return fileName; });
  }

  SettingsSandbox settings;
};

TEST_F(RegistrationTest, RejectedRegistrationNamesWhyAndChangesNothing) {
  struct Case {
    RegistrationRequest request;
    int status; // the service's answer; 0: nothing may be sent
    std::string reply;
    std::string result;
  };
  const std::string refused = "ERROR: registration refused (HTTP ";
  const Case cases[] = {
      {{"", "", "", ""}, 0, "", "ERROR: email is empty."},
      {{"e", "", "m", BaseUrl()}, 0, "", "ERROR: licenseKey is empty."},
      {{"e", "k", "", BaseUrl()}, 0, "", "ERROR: machineId is empty."},
      {Request(), 401, R"({"error":"unknown key"})", refused + R"(401): {"error":"unknown key"})"},
      // 299 ASCII bytes, then a three-byte character that the limit would cut in half.
      {Request(), 500, std::string(299, 'x') + "\xE2\x80\x94tail",
       refused + "500): " + std::string(299, 'x')},
      {Request(), 403, std::string(400, 'y'), refused + "403): " + std::string(300, 'y')},
  };
  for (const Case& c : cases) {
    if (c.status != 0) Answer("/api/bridge/register", c.status, c.reply);
    EXPECT_EQ(Register(c.request), c.result);
  }
  EXPECT_EQ(Requests().size(), 3u);
  EXPECT_FALSE(bridgeState().IsRegistered());
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "");
  EXPECT_FALSE(settings.fileBytes().has_value());
  EXPECT_EQ(HeldBackgroundTasks(), 0u) << "no update check";
}

TEST_F(RegistrationTest, AcceptedRegistrationSwitchesTheBridgeOnAndStoresKeyAndServiceAsGiven) {
  EXPECT_EQ(Register({"a\"b@x", "k\\1\n", "m\x01", BaseUrl() + "/"}), "OK");

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].target, "//api/bridge/register");
  EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/json");
  EXPECT_EQ(
      requests[0].body,
      R"({"email":"a\"b@x","licenseKey":"k\\1\n","machineId":"m\u0001","pluginVersion":"1.6.18"})");
  EXPECT_TRUE(bridgeState().IsRegistered());
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "k\\1\n");
  EXPECT_EQ(bridgeState().ReadCredentials().baseUrl, BaseUrl() + "/");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales");
  const std::string stored = settings.fileBytes().value_or("");
  EXPECT_EQ(ConfigValue(stored, "licenseKey"), "k\\1\n");
  EXPECT_EQ(ConfigValue(stored, "baseUrl"), BaseUrl() + "/");
  // The update check starts with it.
  EXPECT_EQ(Sent().back().target, "//api/plugin/version");
}

TEST_F(RegistrationTest, LaterRegistrationsKeepTheKnownFileAndAFailedOneKeepsEverything) {
  ASSERT_EQ(Register(Request("FIRST")), "OK");
  ASSERT_EQ(Register(Request("FIRST"), ""), "OK");
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales") << "a call without file context";
  const std::string storedBefore = settings.fileBytes().value_or("");

  RegistrationRequest request = Request("SECOND");
  request.baseUrl = UnreachableBaseUrl();
  const std::string result = Register(request, "Other");
  EXPECT_NE(result, "OK");
  EXPECT_FALSE(result.empty());
  EXPECT_EQ(result.rfind("ERROR: ", 0), std::string::npos) << "the HTTP layer's text, unchanged";
  EXPECT_EQ(bridgeState().ReadCredentials().licenseKey, "FIRST");
  EXPECT_EQ(bridgeState().ReadCredentials().baseUrl, BaseUrl());
  EXPECT_EQ(bridgeState().RegisteredFileName(), "Sales");
  EXPECT_EQ(settings.fileBytes().value_or(""), storedBefore);
}

} // namespace

} // namespace tideloom
