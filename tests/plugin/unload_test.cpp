// The host may unload the plug-in as soon as shutdown returns, while a poll still waits for a
// slow service. When the reply comes, the poll's thread must still find its code.
#include <chrono>
#include <thread>

#include "access_faults.h"
#include "peer_client.h"
#include "plugin_test_support.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

using plugin_test::LoadedPluginTest;

TEST_F(LoadedPluginTest, UnloadingRightAfterShutdownWhileAPollIsOutCrashesNothing) {
  WatchAccessFaults();
  SettingsSandbox settings;
  const std::string prefix = UniquePrefix();
  const std::string poll = prefix + "/api/bridge/command/next";
  // The reply's second byte comes 3 s after its first: longer than shutdown waits.
  ScriptPeer({{"path", poll}, {"body", "{}"}, {"chunkSize", 1}, {"chunkDelayMs", 3000}});
  plugin_->Startup();
  ASSERT_EQ(
      fmhost::Evaluate("TideLoom.Register ( \"e\" ; \"K\" ; \"m\" ; \"" + PeerUrl(prefix) + "\" )")
          .value.text,
      "OK");
  plugin_->Idle();
  for (int wait = 0; wait < 200 && RequestsUnder(poll).empty(); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(RequestsUnder(poll).size(), 1u) << "no poll went out";
  plugin_->Shutdown();
  plugin_.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // the reply arrives meanwhile
  EXPECT_EQ(AccessFaultsSeen(), 0);
}

} // namespace

} // namespace tideloom
