// FMExternCallProc as the host drives it: start-up, shutdown, string requests, the record and
// unloading. The built plug-in is loaded into the host stand-in, not yet started, with a small
// solution: "Sales" (active) and "Contacts", one table each.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "fmhost_api.h"
#include "peer_client.h"
#include "plugin/function_registry.h"
#include "settings_sandbox.h"

namespace tideloom {

namespace {

class LoadedPluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    fmhost::UseSolution(fmhost::ParseSolution(R"json({
      "activeFile": "Sales", "windows": ["Sales - Invoices (Detail)"],
      "files": [
        {"name": "Sales", "tables": [{"name": "Invoices", "fields": [{"name": "Id", "type": "decimal"}]}]},
        {"name": "Contacts", "tables": [{"name": "People", "fields": [{"name": "Name"}]}]}
      ]})json"));
    std::string error;
    plugin_ = fmhost::Plugin::Load(TIDELOOM_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
  }
  void TearDown() override {
    plugin_.reset();
    fmhost::ClearInjectedFailures();
    EXPECT_EQ(fmhost::LiveHostObjects(), 0u) << "a host object outlived its use";
  }
  std::unique_ptr<fmhost::Plugin> plugin_;
};

// The functions in ID order from 100: saved calculations refer to a function by its ID, so a
// function that moved would call another.
const char* const kFunctionsInIdOrder[] = {
    "TideLoom.Version",
    "TideLoom.SetXMLClipboard",
    "TideLoom.GetXMLClipboard",
    "TideLoom.Register",
    "TideLoom.ReadFile",
    "TideLoom.HTTPPost",
    "TideLoom.PushSnapshot",
    "TideLoom.PushScript",
    "TideLoom.GetSchema",
    "TideLoom.POSIXPath",
    "TideLoom.UploadFile",
    "TideLoom.LivePush",
    "TideLoom.GetTextClipboard",
    "TideLoom.SetTextClipboard",
    "TideLoom.UpdateAvailable",
    "TideLoom.ClipboardFormats",
    "TideLoom.PrepareXMLClipboard",
    "TideLoom.ListFiles",
    "TideLoom.DebugContext",
};

// Unknown messages and interfaces below 56 register and unregister nothing; from 56 on, shutdown
// unregisters every ID in ascending order and a later start-up registers them again.
TEST_F(LoadedPluginTest, StartupRegistersTheNineteenFunctionsFromInterface56AndShutdownUndoes) {
  for (uint8_t message : {2, 3, 5, 6, 8, 200, 255}) {
    HostCallRecord record = fmhost::MakeCallRecord(message);
    record.result = 0x1234;
    plugin_->Send(record);
    EXPECT_EQ(record.result, 0x1234u);
  }
  EXPECT_EQ(plugin_->Startup(55), -2);
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  plugin_->Shutdown(55);

  EXPECT_EQ(plugin_->Startup(56), 76);
  const std::vector<fmhost::RegisteredFunction> registered = fmhost::RegisteredFunctions();
  ASSERT_EQ(registered.size(), std::size(kFunctionsInIdOrder));
  std::vector<int16_t> ids;
  for (size_t i = 0; i < registered.size(); ++i) {
    SCOPED_TRACE(kFunctionsInIdOrder[i]);
    EXPECT_EQ(registered[i].pluginId, "TdLm");
    EXPECT_EQ(registered[i].id, 100 + static_cast<int>(i));
    EXPECT_EQ(registered[i].name, kFunctionsInIdOrder[i]);
    EXPECT_EQ(registered[i].description, kFunctionTable[i].description);
    EXPECT_EQ(registered[i].flags, 0x00FFFF7Eu);
    ids.push_back(static_cast<int16_t>(100 + i));
  }
  plugin_->Shutdown(56);
  EXPECT_EQ(fmhost::UnregisteredIds(), ids);
  EXPECT_EQ(plugin_->Startup(), 76);
  EXPECT_EQ(fmhost::Evaluate("TideLoom.Version").value.text, "1.6.18");
}

std::u16string AnswerText(const std::vector<uint16_t>& buffer) {
  return {buffer.begin(), std::find(buffer.begin(), buffer.end(), uint16_t{0})};
}

// An answer is cut to the capacity, ends in a zero and leaves the units past the capacity alone.
TEST_F(LoadedPluginTest, StringRequestsAnswerTheIdentityWithinTheBuffersCapacity) {
  const std::tuple<uint8_t, uint32_t, std::u16string> cases[] = {
      {129, 1024, u"TideLoom background bridge for FileMaker"},
      {131, 1024, u"TdLm1nnYYnn"},
      {132, 1024, u"https://tideloom.app/guide#plugin"},
      {130, 1024, u""},
      {133, 1024, u""},
      {127, 1024, u""},
      {128, 4, u"Tid"},
      {128, 9, u"TideLoom"},
      {128, 1, u""},
      {128, 0, u""},
  };
  for (const auto& [id, capacity, expected] : cases) {
    SCOPED_TRACE(testing::Message() << int{id} << " into " << capacity);
    const std::vector<uint16_t> buffer = plugin_->RequestString(id, capacity);
    EXPECT_EQ(buffer[capacity], 0xAAAA);
    if (capacity == 0) continue;
    EXPECT_EQ(AnswerText(buffer), expected);
  }
}

// The record built byte by byte at the host's offsets, not through our own struct.
TEST_F(LoadedPluginTest, TheRecordIsReadAndWrittenAtTheHostsByteOffsets) {
  alignas(8) unsigned char bytes[80] = {};
  std::vector<uint16_t> buffer(64, 0xAAAA);
  const int16_t version = 57;
  const uint64_t capacity = 0xFFFFFFFF00000040ull; // only the low 32 bits count: 64 units
  const uint64_t address = reinterpret_cast<uintptr_t>(buffer.data());
  std::memcpy(bytes + 0, &version, sizeof version);
  bytes[13] = 7;
  bytes[15] = 128;
  std::memcpy(bytes + 24, &capacity, sizeof capacity);
  std::memcpy(bytes + 40, &address, sizeof address);
  plugin_->Send(*reinterpret_cast<HostCallRecord*>(bytes));
  EXPECT_EQ(AnswerText(buffer), u"TideLoom");

  // Start-up through raw bytes, with the host's callbacks at 56 and 64.
  HostCallRecord made = fmhost::MakeCallRecord(0);
  std::memset(bytes, 0, sizeof bytes);
  std::memcpy(bytes + 0, &version, sizeof version);
  std::memcpy(bytes + 56, reinterpret_cast<unsigned char*>(&made) + 56, 16);
  plugin_->Send(*reinterpret_cast<HostCallRecord*>(bytes));
  int64_t result = 0;
  std::memcpy(&result, bytes + 40, sizeof result);
  EXPECT_EQ(result, 76);
  plugin_->Shutdown();
}

TEST_F(LoadedPluginTest, HostFailuresNeverEscapeIntoTheHost) {
  for (const char* call : {"FM_QuadChar_Constructor2", "FM_Text_Constructor1", "FM_Text_Assign",
                           "FM_ExprEnv_RegisterExternalFunctionEx"}) {
    for (int code : {1, 2}) {
      SCOPED_TRACE(std::string(call) + " " + std::to_string(code));
      ASSERT_TRUE(fmhost::InjectFailure(call, code));
      EXPECT_EQ(plugin_->Startup(), -2);
      fmhost::ClearInjectedFailures();
      plugin_->Shutdown();
    }
  }
  // A failing string request leaves an empty, terminated answer.
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_GetUnicode", 2));
  EXPECT_EQ(plugin_->RequestString(128, 16)[0], 0);
  ASSERT_TRUE(fmhost::InjectFailure("FM_ExprEnv_UnRegisterExternalFunction", 1));
  plugin_->Startup();
  plugin_->Shutdown();

  // Every host call failing once in a function leaves an answer and the next call whole.
  plugin_->Startup();
  for (const char* expression :
       {"TideLoom.Version", "TideLoom.ListFiles", "TideLoom.DebugContext ( \"Sales\" )",
        "TideLoom.GetSchema", "TideLoom.SetTextClipboard ( \"caf\u00e9\" )"}) {
    const std::string expected = fmhost::Evaluate(expression).value.text;
    for (const std::string& call : fmhost::LibraryCalls()) {
      // A delete that the host fails leaves its object with the host, whatever the plug-in does.
      if (call.ends_with("_Delete")) continue;
      SCOPED_TRACE(std::string(expression) + " with " + call + " failing");
      const std::size_t live = fmhost::LiveHostObjects();
      ASSERT_TRUE(fmhost::InjectFailure(call, 2));
      EXPECT_EQ(fmhost::Evaluate(expression).error, 0);
      fmhost::ClearInjectedFailures();
      EXPECT_EQ(fmhost::Evaluate(expression).value.text, expected);
      EXPECT_EQ(fmhost::LiveHostObjects(), live);
    }
  }
  plugin_->Shutdown();
}

// The host may unload the plug-in as soon as shutdown returns, while a sender still waits for a
// slow service. When the reply comes, the sender's thread must still find its code.
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
