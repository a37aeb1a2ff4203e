// The host may unload the plug-in as soon as shutdown returns, while a sender still waits for a
// slow service. When the reply comes, the sender's thread must still find its code.
#include <chrono>
#include <thread>

#include "peer_client.h"
#include "plugin_test_support.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

TEST_F(LoadedPluginTest, UnloadingRightAfterShutdownWhileASenderIsStuckCrashesNothing) {
  SettingsSandbox settings;
  const std::string prefix = UniquePrefix();
  const std::string push = prefix + "/api/bridge/push";
  ScriptPeer({{"path", prefix + "/api/bridge/command/next"},
              {"body", R"({"command":{"id":"c1","type":"LIST_FILES"}})"}});
  // The push's reply sends its second byte 3 s after its first: longer than shutdown waits.
  ScriptPeer({{"path", push}, {"body", "{}"}, {"chunkSize", 1}, {"chunkDelayMs", 3000}});
  plugin_->Startup();
  ASSERT_EQ(
      fmhost::Evaluate("TideLoom.Register ( \"e\" ; \"K\" ; \"m\" ; \"" + PeerUrl(prefix) + "\" )")
          .value.text,
      "OK");
  // One idle call polls, a later one runs the command and starts its sender.
  for (int wait = 0; wait < 250 && RequestsUnder(push).empty(); ++wait) {
    plugin_->Idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(RequestsUnder(push).size(), 1u) << "no push went out";
  plugin_->Shutdown();
  plugin_.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // the reply arrives meanwhile
}

} // namespace

} // namespace tideloom
