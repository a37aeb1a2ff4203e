// What TideLoom.ListFiles and TideLoom.DebugContext (and the bridge's LIST_FILES and
// DEBUG_CONTEXT) report about the files, windows and bridge visible from a context.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

#include "host_solution_fixture.h"
#include "schema/context_report.h"

namespace tideloom {

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

class FileList : public HostSolutionTest {};

// The registered file comes second, even when nothing else shows it or nothing is visible.
TEST_F(FileList, CurrentFileThenRegisteredThenWindowsThenDatabasesEachNameOnce) {
  Load(kOffice);
  EXPECT_EQ(ListOpenFiles(In("Sales"), bridge.registeredFileName), kOfficeFiles);
  EXPECT_EQ(ListOpenFiles(In("Sales"), "Remote Ledger"),
            "Sales\nRemote Ledger\n" + std::string(kOfficeFiles.substr(6)));
  EXPECT_EQ(ListOpenFiles(In("Inventory"), "  INVENTORY\r\n").substr(0, 16), "Inventory\nSales\n");
  EXPECT_EQ(ListOpenFiles(NoContext(), ""), "");
  EXPECT_EQ(ListOpenFiles(NoContext(), "Remote"), "Remote");
  // The file a calculation runs in is always visible.
  Load(R"({"files": [{"name": "Sales", "failing": {"WindowNames": 100, "DatabaseNames": 100}}]})");
  EXPECT_EQ(ListOpenFiles(In("Sales"), ""), "Sales");
}

class ContextReport : public HostSolutionTest {};

constexpr std::string_view kOfficeListsJson =
    R"json("windowNames":["Sales - Invoices (Detail)","sales","Inventory.FMP12 (2)","Ärzte","  ","\t"],)json"
    R"("databaseNames":["Sales.fmp12","Inventory.FMP12",".fmp12","ärzte.fmp12","Q\"uote\\Bäck¶s"],)"
    R"json("activeFiles":["Sales","Sales - Invoices (Detail)","Inventory","Inventory.FMP12 (2)",)json"
    R"("Ärzte",".fmp12","ärzte","Q\"uote\\Bäck¶s"],)";

TEST_F(ContextReport, WithoutTargetDescribesTheCurrentFileAndTheBridge) {
  Load(kOffice);
  bridge = {"http://127.0.0.1:8787", "Sales", "Inventory", true, true};
  EXPECT_EQ(BuildContextDebug(In("Sales"), "", bridge),
            R"({"pluginVersion":"1.6.18","registered":true,"baseUrl":"http://127.0.0.1:8787",)"
            R"("registeredFile":"Sales","pendingTarget":"Inventory","pendingSchemaReady":true,)"
            R"("currentFile":"Sales","targetFile":"Sales",)"
            R"json("windowName":"Sales - Invoices (Detail)","account":"Admin",)json"
            R"("privilegeSet":"[Full Access]",)" +
                std::string(kOfficeListsJson) +
                R"("targetScriptNames":["Start","TideLoom Live Push"],"livePushVisible":"1"})");
}

// A target is shown as given and queried without its extension; only a line that is exactly the
// script's name counts; a target that is not open lists the current file's scripts.
TEST_F(ContextReport, TargetIsShownAsGivenWithItsScriptsAndWhetherLivePushIsVisible) {
  Load(kOffice);
  const struct {
    std::string target;
    nlohmann::json scripts;
    const char* livePushVisible;
  } cases[] = {
      {"Inventory.fmp12", {"Tide Loom Live Push", "TideLoom Live Push 2"}, "0"},
      {"Gone", {"Start", "TideLoom Live Push"}, ""},
      {"Q\"uote\\B\xC3\xA4"
       "ck\xC2\xB6s",
       {"Other", "TideLoom Live Push"},
       "1"},
  };
  for (const auto& c : cases) {
    const auto report = nlohmann::json::parse(BuildContextDebug(In("Sales"), c.target, bridge));
    EXPECT_EQ(report["targetFile"], c.target);
    EXPECT_EQ(report["targetScriptNames"], c.scripts) << c.target;
    EXPECT_EQ(report["livePushVisible"], c.livePushVisible) << c.target;
    EXPECT_EQ(report["registered"], false);
  }
}

TEST_F(ContextReport, WithoutEnvironmentOnlyTheBridgeIsReported) {
  bridge = {"https://x.test/\"q\"\\", "", "Pending \xC3\xA4\x01", false, false};
  EXPECT_EQ(BuildContextDebug(NoContext(), "", bridge),
            R"({"pluginVersion":"1.6.18","registered":false,"baseUrl":"https://x.test/\"q\"\\",)"
            R"("registeredFile":"","pendingTarget":"Pending ä\u0001","pendingSchemaReady":false,)"
            R"("currentFile":"","targetFile":"","windowName":"","account":"","privilegeSet":"",)"
            R"("windowNames":[],"databaseNames":[],"activeFiles":[],"targetScriptNames":[],)"
            R"("livePushVisible":""})");
  const auto report = nlohmann::json::parse(BuildContextDebug(NoContext(), "X", bridge));
  EXPECT_EQ(report["targetFile"], "X");
  EXPECT_EQ(report["pendingTarget"], "Pending \xC3\xA4\x01");
}

} // namespace

} // namespace tideloom
