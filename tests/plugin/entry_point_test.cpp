// FMExternCallProc as the host drives it: start-up, shutdown, string requests and the record.
#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "plugin_test_support.h"

namespace tideloom {

namespace {

// What FileMaker shows for each function, in ID order from 100, written out here rather than
// read back from the plug-in. Prototypes and parameter counts are checked against the functions
// reference by the docs tests.
const char* const kExpectedFunctions[][2] = {
    {"TideLoom.Version", "Returns the TideLoom plugin version string."},
    {"TideLoom.SetXMLClipboard",
     "Writes UTF-8 XML to the FM clipboard under the given type key (e.g. XMSS)."},
    {"TideLoom.GetXMLClipboard", "Reads FM XML clipboard for the given type key. Pass empty text "
                                 "or AUTO to probe common FileMaker XML types."},
    {"TideLoom.Register", "Registers this FM installation with TideLoom and starts the background "
                          "bridge. Call once at file open. Use Get(PersistentID) for machineId. "
                          "baseUrl is optional for local development sites."},
    {"TideLoom.ReadFile", "Reads a file from disk and returns its contents as text."},
    {"TideLoom.HTTPPost",
     "Synchronous HTTP POST with a JSON body. Returns the response body or an error string."},
    {"TideLoom.PushSnapshot", "Reads an XML file and pushes it to TideLoom as a snapshot."},
    {"TideLoom.PushScript", "Reads FM XML from the clipboard and pushes it to TideLoom. xmlType: "
                            "XMSC, XMSS, XMFD, XMTB, XMLO, XMFN."},
    {"TideLoom.GetSchema",
     "Returns a JSON snapshot of an open FM file's schema: tables, fields, scripts, layouts, and "
     "custom functions. Defaults to the frontmost file."},
    {"TideLoom.POSIXPath", "Converts a FileMaker path (e.g. /Macintosh HD/var/...) to a POSIX path "
                           "(/var/...) suitable for cURL file=@ uploads."},
    {"TideLoom.UploadFile", "POSTs a file as multipart/form-data to the given URL with licenseKey "
                            "and filename fields. Returns the response body."},
    {"TideLoom.LivePush",
     "Uploads a SaveAsXML file to TideLoom LiveRelay and completes the pending Get Schema command. "
     "Call from the TideLoom Live Push script after Save a Copy As [XML]."},
    {"TideLoom.GetTextClipboard",
     "Reads plain UTF-8 text from the system clipboard. Returns empty if clipboard has no text."},
    {"TideLoom.SetTextClipboard",
     "Writes plain UTF-8 text to the system clipboard, replacing all current contents."},
    {"TideLoom.UpdateAvailable",
     "Returns empty if the plugin is up to date, or a human-readable notice if a newer version is "
     "available at tideloom.app/guide#plugin."},
    {"TideLoom.ClipboardFormats", "Returns diagnostic clipboard format ids and names currently "
                                  "available on the system clipboard."},
    {"TideLoom.PrepareXMLClipboard",
     "Reads plain XML text from the clipboard and rewrites it as FileMaker XML clipboard data. "
     "xmlType is optional; commonly XMSS for script steps."},
    {"TideLoom.ListFiles", "Returns FileMaker file names visible to the TideLoom plug-in in the "
                           "current FileMaker calculation context."},
    {"TideLoom.DebugContext", "Returns diagnostic JSON showing the current FileMaker context "
                              "visible to the TideLoom plug-in."},
};

// Below interface 56 nothing is registered or unregistered; from 56 on, shutdown unregisters
// every ID in ascending order and a later start-up registers them again.
TEST_F(LoadedPluginTest, StartupRegistersTheNineteenFunctionsFromInterface56AndShutdownUndoes) {
  EXPECT_EQ(plugin_->Startup(55), -2);
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  plugin_->Shutdown(55);
  EXPECT_TRUE(fmhost::UnregisteredIds().empty());

  EXPECT_EQ(plugin_->Startup(56), 76);
  const std::vector<fmhost::RegisteredFunction> registered = fmhost::RegisteredFunctions();
  ASSERT_EQ(registered.size(), std::size(kExpectedFunctions));
  std::vector<int16_t> ids;
  for (size_t i = 0; i < registered.size(); ++i) {
    const auto& [name, description] = kExpectedFunctions[i];
    SCOPED_TRACE(name);
    EXPECT_EQ(registered[i].pluginId, "TdLm");
    EXPECT_EQ(registered[i].id, 100 + static_cast<int>(i));
    EXPECT_EQ(registered[i].name, name);
    EXPECT_EQ(registered[i].description, description);
    EXPECT_EQ(registered[i].flags, 0x00FFFF7Eu);
    ids.push_back(static_cast<int16_t>(100 + i));
  }
  plugin_->Shutdown(56);
  EXPECT_EQ(fmhost::UnregisteredIds(), ids);
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  EXPECT_EQ(plugin_->Startup(), 76);
  EXPECT_EQ(fmhost::Evaluate("TideLoom.Version").value.text, "1.6.18");
}

std::u16string AnswerText(const std::vector<uint16_t>& buffer) {
  return {buffer.begin(), std::find(buffer.begin(), buffer.end(), uint16_t{0})};
}

// An answer is cut to the capacity, ends in a zero and leaves the units past the capacity alone.
TEST_F(LoadedPluginTest, StringRequestsAnswerTheIdentityWithinTheBuffersCapacity) {
  const std::tuple<uint8_t, uint32_t, std::u16string> cases[] = {
      {128, 1024, u"TideLoom"},
      {129, 1024, u"TideLoom background bridge for FileMaker"},
      {131, 1024, u"TdLm1nnYYnn"},
      {132, 1024, u"https://tideloom.app/guide#plugin"},
      {130, 1024, u""},
      {133, 1024, u""},
      {127, 1024, u""},
      {0, 1024, u""},
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
    EXPECT_EQ(buffer[expected.size()], 0);
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
  bytes[13] = 0;
  std::memcpy(bytes + 56, reinterpret_cast<unsigned char*>(&made) + 56, 16);
  plugin_->Send(*reinterpret_cast<HostCallRecord*>(bytes));
  int64_t result = 0;
  std::memcpy(&result, bytes + 40, sizeof result);
  EXPECT_EQ(result, 76);
  plugin_->Shutdown();
}

TEST_F(LoadedPluginTest, UnknownMessagesChangeNothing) {
  for (uint8_t message : {2, 3, 5, 6, 8, 200, 255}) {
    HostCallRecord record = fmhost::MakeCallRecord(message);
    record.result = 0x1234;
    plugin_->Send(record);
    EXPECT_EQ(record.result, 0x1234u);
  }
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  EXPECT_TRUE(fmhost::UnregisteredIds().empty());
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
}

TEST_F(LoadedPluginTest, EveryHostCallFailingOnceLeavesAnAnswerAndTheNextCallWhole) {
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

} // namespace

} // namespace tideloom
