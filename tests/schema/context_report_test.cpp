// What TideLoom.ListFiles and TideLoom.DebugContext (and the bridge's LIST_FILES and
// DEBUG_CONTEXT) report about the files, windows and bridge visible from a context.
#include <gtest/gtest.h>

#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

#include "bridge/bridge_state.h"
#include "functions/schema_functions.h"
#include "host_solution_fixture.h"
#include "plugin/function_registry.h"
#include "schema/context_report.h"

namespace {

constexpr const char* kOffice = R"json({
  "account": "Admin", "privilegeSet": "[Full Access]",
  "activeFile": "Sales",
  "windows": ["Sales - Invoices (Detail)", "sales", "Inventory.FMP12 (2)", "\u00c4rzte", "  ", "\t"],
  "files": [
    {"name": "Sales", "databaseName": "Sales.fmp12",
     "scripts": [{"name": "Start"}, {"name": "TideLoom Live Push"}]},
    {"name": "Inventory", "databaseName": "Inventory.FMP12",
     "scripts": [{"name": "Tide Loom Live Push"}, {"name": "TideLoom Live Push 2"}]},
    {"name": "Dot", "databaseName": ".fmp12"},
    {"name": "\u00c4rzte", "databaseName": "\u00e4rzte.fmp12"},
    {"name": "Q\"uote\\B\u00e4ck\u00b6s", "scripts": [{"name": "Other"}, {"name": "TideLoom Live Push"}]}
  ]
})json";

constexpr std::string_view kOfficeFiles =
    "Sales\nSales - Invoices (Detail)\nInventory\nInventory.FMP12 (2)\n\xC3\x84rzte\n.fmp12\n"
    "\xC3\xA4rzte\nQ\"uote\\B\xC3\xA4"
    "ck\xC2\xB6s";

void SetBridge(bool registered, const std::string& baseUrl, const std::string& registeredFile,
               const std::string& target, bool waiting) {
  std::lock_guard<std::mutex> lock(stateMutex());
  BridgeState& state = bridgeState();
  state.registered = registered;
  state.baseUrl = baseUrl;
  state.registeredFileName = registeredFile;
  state.schemaTargetFile = target;
  state.schemaWaiting = waiting;
}

class FileList : public HostSolutionTest {};

TEST_F(FileList, CurrentFileThenWindowsThenDatabasesEachNameOnce) {
  Load(kOffice);
  EXPECT_EQ(ListOpenFiles(EnvironmentIn("Sales")), kOfficeFiles);
}

TEST_F(FileList, RegisteredFileComesSecondEvenWhenNothingElseShowsIt) {
  Load(kOffice);
  SetRegisteredFile("Remote Ledger");
  EXPECT_EQ(ListOpenFiles(EnvironmentIn("Sales")),
            "Sales\nRemote Ledger\n" + std::string(kOfficeFiles.substr(6)));
  SetRegisteredFile("  INVENTORY\r\n");
  EXPECT_EQ(ListOpenFiles(EnvironmentIn("Inventory")).substr(0, 16), "Inventory\nSales\n");
}

TEST_F(FileList, NothingVisibleGivesEmptyText) {
  EXPECT_EQ(ListOpenFiles(nullptr), "");
  SetRegisteredFile("Remote");
  EXPECT_EQ(ListOpenFiles(nullptr), "Remote");
  Load(R"({"files": [{"name": "Sales", "failing": {"WindowNames": 100, "DatabaseNames": 100}}]})");
  SetRegisteredFile("");
  // The file a calculation runs in is always visible.
  EXPECT_EQ(ListOpenFiles(EnvironmentIn("Sales")), "Sales");
}

TEST_F(FileList, ListFilesFunctionIgnoresParametersAndAnswersThroughTheHost) {
  Load(kOffice);
  HostDataVect* parameters = fmhost::NewParameters({"ignored"});
  EXPECT_EQ(ListFilesFunction({EnvironmentIn("Sales"), parameters}), kOfficeFiles);
  HostData* result = fmhost::NewResult();
  EXPECT_EQ(CalculationTrampoline(117, EnvironmentIn("Sales"), parameters, result), 0);
  EXPECT_EQ(fmhost::ResultText(result), kOfficeFiles);
  fmhost::DeleteResult(result);
  fmhost::DeleteParameters(parameters);
}

class ContextReport : public HostSolutionTest {};

constexpr std::string_view kOfficeListsJson =
    R"json("windowNames":["Sales - Invoices (Detail)","sales","Inventory.FMP12 (2)","Ärzte","  ","\t"],)json"
    R"("databaseNames":["Sales.fmp12","Inventory.FMP12",".fmp12","ärzte.fmp12","Q\"uote\\Bäck¶s"],)"
    R"json("activeFiles":["Sales","Sales - Invoices (Detail)","Inventory","Inventory.FMP12 (2)",)json"
    R"("Ärzte",".fmp12","ärzte","Q\"uote\\Bäck¶s"],)";

TEST_F(ContextReport, WithoutTargetDescribesTheCurrentFileAndTheBridge) {
  Load(kOffice);
  SetBridge(true, "http://127.0.0.1:8787", "Sales", "Inventory", true);
  EXPECT_EQ(BuildContextDebug(EnvironmentIn("Sales"), ""),
            R"({"pluginVersion":"1.6.18","registered":true,"baseUrl":"http://127.0.0.1:8787",)"
            R"("registeredFile":"Sales","pendingTarget":"Inventory","pendingSchemaReady":true,)"
            R"("currentFile":"Sales","targetFile":"Sales",)"
            R"json("windowName":"Sales - Invoices (Detail)","account":"Admin",)json"
            R"("privilegeSet":"[Full Access]",)" +
                std::string(kOfficeListsJson) +
                R"("targetScriptNames":["Start","TideLoom Live Push"],"livePushVisible":"1"})");
}

TEST_F(ContextReport, TargetIsShownAsGivenAndQueriedWithoutItsExtension) {
  Load(kOffice);
  const auto report =
      nlohmann::json::parse(BuildContextDebug(EnvironmentIn("Sales"), "Inventory.fmp12"));
  EXPECT_EQ(report["targetFile"], "Inventory.fmp12");
  EXPECT_EQ(report["targetScriptNames"],
            nlohmann::json::array({"Tide Loom Live Push", "TideLoom Live Push 2"}));
  // Only a line that is exactly the script's name counts.
  EXPECT_EQ(report["livePushVisible"], "0");
  EXPECT_EQ(report["registered"], false);
  EXPECT_EQ(report["pendingSchemaReady"], false);
}

TEST_F(ContextReport, TargetThatIsNotOpenListsTheCurrentFilesScriptsButNoLivePushCount) {
  Load(kOffice);
  const auto report = nlohmann::json::parse(BuildContextDebug(EnvironmentIn("Sales"), "Gone"));
  EXPECT_EQ(report["targetFile"], "Gone");
  EXPECT_EQ(report["targetScriptNames"], nlohmann::json::array({"Start", "TideLoom Live Push"}));
  EXPECT_EQ(report["livePushVisible"], "");
}

TEST_F(ContextReport, TargetWithQuotesBackslashesAndPilcrowsNamesItself) {
  Load(kOffice);
  const std::string target = "Q\"uote\\B\xC3\xA4"
                             "ck\xC2\xB6s";
  const auto report = nlohmann::json::parse(BuildContextDebug(EnvironmentIn("Sales"), target));
  EXPECT_EQ(report["targetFile"], target);
  EXPECT_EQ(report["targetScriptNames"], nlohmann::json::array({"Other", "TideLoom Live Push"}));
  EXPECT_EQ(report["livePushVisible"], "1");
}

TEST_F(ContextReport, WithoutEnvironmentOnlyTheBridgeIsReported) {
  SetBridge(false, "https://x.test/\"q\"\\", "", "Pending \xC3\xA4\x01", false);
  EXPECT_EQ(BuildContextDebug(nullptr, ""),
            R"({"pluginVersion":"1.6.18","registered":false,"baseUrl":"https://x.test/\"q\"\\",)"
            R"("registeredFile":"","pendingTarget":"Pending ä\u0001","pendingSchemaReady":false,)"
            R"("currentFile":"","targetFile":"","windowName":"","account":"","privilegeSet":"",)"
            R"("windowNames":[],"databaseNames":[],"activeFiles":[],"targetScriptNames":[],)"
            R"("livePushVisible":""})");
  const auto report = nlohmann::json::parse(BuildContextDebug(nullptr, "X"));
  EXPECT_EQ(report["targetFile"], "X");
  EXPECT_EQ(report["pendingTarget"], "Pending \xC3\xA4\x01");
}

TEST_F(ContextReport, DebugContextFunctionReadsItsOptionalTarget) {
  Load(kOffice);
  HostDataVect* none = fmhost::NewParameters({});
  HostDataVect* inventory = fmhost::NewParameters({"Inventory"});
  EXPECT_EQ(
      nlohmann::json::parse(DebugContextFunction({EnvironmentIn("Sales"), none}))["targetFile"],
      "Sales");
  HostData* result = fmhost::NewResult();
  EXPECT_EQ(CalculationTrampoline(118, EnvironmentIn("Sales"), inventory, result), 0);
  EXPECT_EQ(nlohmann::json::parse(fmhost::ResultText(result))["targetFile"], "Inventory");
  fmhost::DeleteResult(result);
  fmhost::DeleteParameters(none);
  fmhost::DeleteParameters(inventory);
}

} // namespace
