// FMExternCallProc as the host drives it: start-up, shutdown, string requests and the record.
#include <cstring>
#include <tuple>
#include <vector>

#include "plugin_test_support.h"

namespace {

using plugin_test::AnswerText;
using plugin_test::LoadedPluginTest;

struct ExpectedFunction {
  int16_t id;
  const char* name;
  const char* prototype;
  int16_t min, max;
  const char* description;
};

// What FileMaker must be told, written out here rather than read back from the plug-in.
const ExpectedFunction kExpectedFunctions[] = {
    {100, "TideLoom.Version", "TideLoom.Version", 0, 0,
     "Returns the TideLoom plugin version string."},
    {101, "TideLoom.SetXMLClipboard", "TideLoom.SetXMLClipboard( xmlType ; xmlContent )", 2, 2,
     "Writes UTF-8 XML to the FM clipboard under the given type key (e.g. XMSS)."},
    {102, "TideLoom.GetXMLClipboard", "TideLoom.GetXMLClipboard( xmlType )", 1, 1,
     "Reads FM XML clipboard for the given type key. Pass empty text or AUTO to probe common "
     "FileMaker XML types."},
    {103, "TideLoom.Register", "TideLoom.Register( email ; licenseKey ; machineId { ; baseUrl } )",
     3, 4,
     "Registers this FM installation with TideLoom and starts the background bridge. Call once at "
     "file open. Use Get(PersistentID) for machineId. baseUrl is optional for local development "
     "sites."},
    {104, "TideLoom.ReadFile", "TideLoom.ReadFile( path )", 1, 1,
     "Reads a file from disk and returns its contents as text."},
    {105, "TideLoom.HTTPPost", "TideLoom.HTTPPost( url ; jsonBody )", 2, 2,
     "Synchronous HTTP POST with a JSON body. Returns the response body or an error string."},
    {106, "TideLoom.PushSnapshot", "TideLoom.PushSnapshot( ingestUrl ; xmlPath )", 2, 2,
     "Reads an XML file and pushes it to TideLoom as a snapshot."},
    {107, "TideLoom.PushScript",
     "TideLoom.PushScript( licenseKey ; bridgeUrl ; xmlType { ; label } )", 3, 4,
     "Reads FM XML from the clipboard and pushes it to TideLoom. xmlType: XMSC, XMSS, XMFD, XMTB, "
     "XMLO, XMFN."},
    {108, "TideLoom.GetSchema", "TideLoom.GetSchema( { fileName } )", 0, 1,
     "Returns a JSON snapshot of an open FM file's schema: tables, fields, scripts, layouts, and "
     "custom functions. Defaults to the frontmost file."},
    {109, "TideLoom.POSIXPath", "TideLoom.POSIXPath( fmPath )", 1, 1,
     "Converts a FileMaker path (e.g. /Macintosh HD/var/...) to a POSIX path (/var/...) suitable "
     "for cURL file=@ uploads."},
    {110, "TideLoom.UploadFile", "TideLoom.UploadFile( url ; licenseKey ; filename ; posixPath )",
     4, 4,
     "POSTs a file as multipart/form-data to the given URL with licenseKey and filename fields. "
     "Returns the response body."},
    {111, "TideLoom.LivePush", "TideLoom.LivePush( posixPath )", 1, 1,
     "Uploads a SaveAsXML file to TideLoom LiveRelay and completes the pending Get Schema command. "
     "Call from the TideLoom Live Push script after Save a Copy As [XML]."},
    {112, "TideLoom.GetTextClipboard", "TideLoom.GetTextClipboard", 0, 0,
     "Reads plain UTF-8 text from the system clipboard. Returns empty if clipboard has no text."},
    {113, "TideLoom.SetTextClipboard", "TideLoom.SetTextClipboard( text )", 1, 1,
     "Writes plain UTF-8 text to the system clipboard, replacing all current contents."},
    {114, "TideLoom.UpdateAvailable", "TideLoom.UpdateAvailable", 0, 0,
     "Returns empty if the plugin is up to date, or a human-readable notice if a newer version is "
     "available at tideloom.app/guide#plugin."},
    {115, "TideLoom.ClipboardFormats", "TideLoom.ClipboardFormats", 0, 0,
     "Returns diagnostic clipboard format ids and names currently available on the system "
     "clipboard."},
    {116, "TideLoom.PrepareXMLClipboard", "TideLoom.PrepareXMLClipboard( { xmlType } )", 0, 1,
     "Reads plain XML text from the clipboard and rewrites it as FileMaker XML clipboard data. "
     "xmlType is optional; commonly XMSS for script steps."},
    {117, "TideLoom.ListFiles", "TideLoom.ListFiles", 0, 0,
     "Returns FileMaker file names visible to the TideLoom plug-in in the current FileMaker "
     "calculation context."},
    {118, "TideLoom.DebugContext", "TideLoom.DebugContext( { targetFileName } )", 0, 1,
     "Returns diagnostic JSON showing the current FileMaker context visible to the TideLoom "
     "plug-in."},
};

TEST_F(LoadedPluginTest, StartupRegistersTheNineteenFunctionsAsFileMakerExpectsThem) {
  EXPECT_EQ(plugin_->Startup(57), 76);

  const std::vector<fmhost::RegisteredFunction> registered = fmhost::RegisteredFunctions();
  ASSERT_EQ(registered.size(), std::size(kExpectedFunctions));
  for (size_t i = 0; i < registered.size(); ++i) {
    const ExpectedFunction& expected = kExpectedFunctions[i];
    const fmhost::RegisteredFunction& actual = registered[i];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(actual.pluginId, "TdLm");
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.name, expected.name);
    EXPECT_EQ(actual.prototype, expected.prototype);
    EXPECT_EQ(actual.description, expected.description);
    EXPECT_EQ(actual.minParameters, expected.min);
    EXPECT_EQ(actual.maxParameters, expected.max);
    EXPECT_EQ(actual.flags, 0x00FFFF7Eu);
  }
  plugin_->Shutdown(57);
}

TEST_F(LoadedPluginTest, TheInterfaceVersionDecidesWhetherFunctionsAreRegistered) {
  EXPECT_EQ(plugin_->Startup(55), -2);
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());
  plugin_->Shutdown(55);
  EXPECT_TRUE(fmhost::UnregisteredIds().empty());

  EXPECT_EQ(plugin_->Startup(56), 76);
  EXPECT_EQ(fmhost::RegisteredFunctions().size(), 19u);
}

TEST_F(LoadedPluginTest, ShutdownUnregistersEveryIdInAscendingOrderAndStartupComesBack) {
  plugin_->Startup();
  plugin_->Shutdown();
  std::vector<int16_t> expected;
  for (int16_t id = 100; id <= 118; ++id)
    expected.push_back(id);
  EXPECT_EQ(fmhost::UnregisteredIds(), expected);
  EXPECT_TRUE(fmhost::RegisteredFunctions().empty());

  EXPECT_EQ(plugin_->Startup(), 76);
  EXPECT_EQ(fmhost::Evaluate("TideLoom.Version").value.text, "1.6.18");
}

TEST_F(LoadedPluginTest, VersionAnswersAndRefusesParameters) {
  plugin_->Startup();
  const fmhost::CalcResult version = fmhost::Evaluate("TideLoom.Version");
  EXPECT_EQ(version.error, 0);
  EXPECT_EQ(version.value.text, "1.6.18");
  EXPECT_NE(fmhost::Evaluate("TideLoom.Version ( 1 )").error, 0);
  plugin_->Shutdown();
}

TEST_F(LoadedPluginTest, StringRequestsAnswerTheIdentity) {
  const std::tuple<uint8_t, std::u16string> cases[] = {
      {128, u"TideLoom"},
      {129, u"TideLoom background bridge for FileMaker"},
      {131, u"TdLm1nnYYnn"},
      {132, u"https://tideloom.app/guide#plugin"},
      {130, u""},
      {133, u""},
      {127, u""},
      {0, u""},
  };
  for (const auto& [id, expected] : cases) {
    SCOPED_TRACE(id);
    const std::vector<uint16_t> buffer = plugin_->RequestString(id, 1024);
    EXPECT_EQ(AnswerText(buffer), expected);
    EXPECT_EQ(buffer[expected.size()], 0);
  }
}

TEST_F(LoadedPluginTest, StringAnswersNeverPassTheBufferCapacity) {
  const uint16_t untouched = 0xAAAA;
  // "TideLoom" is 8 units: 4 units of room take 3 and the terminator.
  std::vector<uint16_t> cut = plugin_->RequestString(128, 4);
  EXPECT_EQ(AnswerText(cut), u"Tid");
  EXPECT_EQ(cut[3], 0);
  EXPECT_EQ(cut[4], untouched);

  std::vector<uint16_t> exact = plugin_->RequestString(128, 9);
  EXPECT_EQ(AnswerText(exact), u"TideLoom");
  EXPECT_EQ(exact[9], untouched);

  std::vector<uint16_t> single = plugin_->RequestString(128, 1);
  EXPECT_EQ(single[0], 0);
  EXPECT_EQ(single[1], untouched);

  std::vector<uint16_t> none = plugin_->RequestString(128, 0);
  EXPECT_EQ(none[0], untouched);
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
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
}

TEST_F(LoadedPluginTest, AFailingHostCallInsideAFunctionStillAnswersTheHost) {
  plugin_->Startup();
  ASSERT_TRUE(fmhost::InjectFailure("FM_Text_Assign", 1));
  const fmhost::CalcResult failed = fmhost::Evaluate("TideLoom.Version");
  EXPECT_EQ(failed.error, 0);
  EXPECT_EQ(failed.value.text, "ERROR: the host reported a failure.");
  EXPECT_EQ(fmhost::Evaluate("TideLoom.Version").value.text, "1.6.18");
  plugin_->Shutdown();
}

TEST_F(LoadedPluginTest, NoHostObjectOutlivesItsUse) {
  plugin_->Startup();
  fmhost::Evaluate("TideLoom.Version");
  plugin_->RequestString(129, 8);
  plugin_->Idle();
  plugin_->Shutdown();
  EXPECT_EQ(fmhost::LiveHostObjects(), 0u);
}

} // namespace
