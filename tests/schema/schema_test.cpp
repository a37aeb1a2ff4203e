// What a solution sees of its files through the plug-in: the files, windows and bridge visible
// from a context, the schema read by the fields query or by TableNames and FieldNames, and how a
// name becomes a file name or is written into a calculation.
#include <gtest/gtest.h>

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fmwrapper/fmhost_api.h"
#include "hostapi/evaluation.h"
#include "schema/context_report.h"
#include "schema/schema_snapshot.h"

namespace tideloom {

namespace {

// Tests that ask the host stand-in: a solution written as JSON in the test, evaluators bound to
// its files, and what the bridge tells the report, as a registered plug-in would have it.
class HostSolutionTest : public ::testing::Test {
protected:
  void SetUp() override {
    fmhost::ResetHost();
    liveObjectsBefore_ = fmhost::LiveHostObjects();
  }
  void TearDown() override {
    for (HostExprEnv* environment : environments_)
      fmhost::DeleteEnvironment(environment);
    // Every host text and value the plug-in made on the way was deleted again.
    EXPECT_EQ(fmhost::LiveHostObjects(), liveObjectsBefore_);
  }

  static void Load(std::string_view solutionJson) {
    fmhost::UseSolution(fmhost::ParseSolution(std::string(solutionJson)));
  }
  // Evaluation in `fileName`'s context; its environment is deleted when the test ends.
  Evaluator In(const std::string& fileName) {
    return EvaluatorIn(environments_.emplace_back(fmhost::NewEnvironmentFor(fileName)));
  }
  // Evaluation outside any context: every expression reads as empty.
  static Evaluator NoContext() { return EvaluatorIn(nullptr); }

  BridgeReportView bridge;

private:
  std::vector<HostExprEnv*> environments_;
  std::size_t liveObjectsBefore_ = 0;
};

TEST(FileNameNormalisation, WindowTitleIsCutBeforeParenthesisThenDashThenExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"Sales - Invoices (Detail)", "Sales"},
      {"Sales (Copy - 2)", "Sales"},
      {"Sales - Copy - 2", "Sales"},
      {"Sales-Invoices(Detail)", "Sales-Invoices(Detail)"},
      {"  Sales  ", "  Sales  "},
      {"a.fmp12", "a"},
      {"Sales.fmp12 ", "Sales.fmp12 "},
  };
  for (const auto& [title, name] : cases)
    EXPECT_EQ(NormalizeFileName(title), name) << title;
}

TEST(CalculationLiteral, QuotesAndBackslashesAreEscapedAndOtherBytesPassUnchanged) {
  EXPECT_EQ(QuoteCalcText(""), "\"\"");
  EXPECT_EQ(QuoteCalcText("a\"b\\c"), "\"a\\\"b\\\\c\"");
  // Only the pair C2 B6 is a pilcrow: a lone C2, or B6 after another lead byte, is not.
  const std::string text = "\xC3\xA4\xE6\x97\xA5\xC2\xA7\xC3\xB6\xC2\r\n\t\x01'";
  EXPECT_EQ(QuoteCalcText(text), "\"" + text + "\"");
  EXPECT_EQ(QuoteCalcText("end\xC2"), "\"end\xC2\"");
}

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
  EXPECT_EQ(ListOpenFiles(In("Sales"), "Remote Ledger"),
            "Sales\nRemote Ledger\n" + std::string(kOfficeFiles.substr(6)));
  EXPECT_EQ(ListOpenFiles(In("Inventory"), "  INVENTORY\r\n").substr(0, 16), "Inventory\nSales\n");
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

TEST_F(ContextReport, WithoutTargetDescribesTheCurrentFileAndTheBridgeOrOnlyTheBridge) {
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
  // Outside any file, only the bridge is reported.
  bridge = {"https://x.test/\"q\"\\", "", "Pending \xC3\xA4\x01", false, false};
  EXPECT_EQ(BuildContextDebug(NoContext(), "", bridge),
            R"({"pluginVersion":"1.6.18","registered":false,"baseUrl":"https://x.test/\"q\"\\",)"
            R"("registeredFile":"","pendingTarget":"Pending ä\u0001","pendingSchemaReady":false,)"
            R"("currentFile":"","targetFile":"","windowName":"","account":"","privilegeSet":"",)"
            R"("windowNames":[],"databaseNames":[],"activeFiles":[],"targetScriptNames":[],)"
            R"("livePushVisible":""})");
  const auto report = nlohmann::json::parse(BuildContextDebug(NoContext(), "X", bridge));
  EXPECT_EQ(report["targetFile"], "X");
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
  }
}

// Sales has a helper table (Sys...) and a table without fields, which the fields query omits.
constexpr const char* kSalesSolution = R"({
  "account": "J\u00fcrgen",
  "activeFile": "Sales",
  "files": [
    {"name": "Sales",
     "tables": [
       {"name": "Invoices", "fields": [{"name": "Total", "type": "decimal", "class": "Normal"},
                                       {"name": "Id", "type": "decimal", "class": "Normal"}]},
       {"name": "Customers", "fields": [{"name": "Name", "type": "varchar", "class": "Normal"},
                                        {"name": "Count", "type": "decimal", "class": "Summary"}]},
       {"name": "SysSettings", "fields": [{"name": "Key"}]},
       {"name": "Empty", "fields": []}],
     "scripts": [{"name": "Start"}, {"name": "TideLoom Live Push"}],
     "layouts": ["Invoices", "Customers"],
     "valueLists": ["Status"],
     "privilegeSets": ["[Full Access]", "Data Entry"],
     "customFunctions": ["Tax"]},
    {"name": "Other",
     "tables": [{"name": "Notes", "fields": [{"name": "Text"}, {"name": "Created", "type": "timestamp"}]}],
     "scripts": [{"name": "Tidy"}],
     "customFunctions": ["Clean"]}
  ]
})";

// What the fields query gives for Sales: tables and fields sorted by name, with type and class.
constexpr std::string_view kSalesByQuery =
    R"({"file":"Sales","account":"Jürgen","tables":[)"
    R"({"name":"Customers","fields":[{"name":"Count","type":"decimal","class":"Summary"},)"
    R"({"name":"Name","type":"varchar","class":"Normal"}]},)"
    R"({"name":"Invoices","fields":[{"name":"Id","type":"decimal","class":"Normal"},)"
    R"({"name":"Total","type":"decimal","class":"Normal"}]}],)"
    R"("scripts":["Start","TideLoom Live Push"],"layouts":["Invoices","Customers"],)"
    R"("valueLists":["Status"],"privilegeSets":["[Full Access]","Data Entry"],)"
    R"("customFunctions":["Tax"]})";

// The same file by TableNames and FieldNames: the host's order, every table, no types.
std::string SalesByNames(std::string_view fileMember) {
  return std::string(R"({"file":")") + std::string(fileMember) +
         R"(","account":"Jürgen","tables":[)"
         R"({"name":"Invoices","fields":[{"name":"Total","type":"","class":""},)"
         R"({"name":"Id","type":"","class":""}]},)"
         R"({"name":"Customers","fields":[{"name":"Name","type":"","class":""},)"
         R"({"name":"Count","type":"","class":""}]},)"
         R"({"name":"SysSettings","fields":[{"name":"Key","type":"","class":""}]},)"
         R"({"name":"Empty","fields":[]}],)"
         R"("scripts":["Start","TideLoom Live Push"],"layouts":["Invoices","Customers"],)"
         R"("valueLists":["Status"],"privilegeSets":["[Full Access]","Data Entry"],)"
         R"("customFunctions":["Tax"]})";
}

std::string SalesSolutionWith(const std::string& file, std::string_view members) {
  std::string solution = kSalesSolution;
  const std::string anchor = R"({"name": ")" + file + "\",";
  return solution.replace(solution.find(anchor), anchor.size(),
                          anchor + std::string(members) + ",");
}

class SchemaSnapshot : public HostSolutionTest {};

// The current file's exact name behaves like no name; another letter case or the extension is a
// named file: no query, and the name is kept as given. A query or list that answers "?" or an
// error is read the other way: the tables by name, the custom functions from the calling file.
TEST_F(SchemaSnapshot, CurrentFileIsReadWithAUsableFieldsQueryAndOtherSpellingsByName) {
  Load(kSalesSolution);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), ""), kSalesByQuery);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Sales"), kSalesByQuery);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "sales"), SalesByNames("sales"));
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Sales.fmp12"), SalesByNames("Sales.fmp12"));
  for (const char* failure :
       {R"("questionMark": ["ExecuteSQL"])", R"("failing": {"ExecuteSQL": 8309})"}) {
    SCOPED_TRACE(failure);
    Load(SalesSolutionWith("Sales", failure));
    EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), ""), SalesByNames("Sales"));
  }
  for (const char* failure : {R"("questionMark": ["CustomFunctionNames"])",
                              R"("failing": {"CustomFunctionNames": 100})"}) {
    SCOPED_TRACE(failure);
    Load(SalesSolutionWith("Other", failure));
    const auto snapshot = nlohmann::json::parse(BuildSchemaSnapshot(In("Sales"), "Other"));
    EXPECT_EQ(snapshot["customFunctions"], nlohmann::json::array({"Tax"}));
  }
}

TEST_F(SchemaSnapshot, NoTablesByEitherRouteGivesAnEmptyObject) {
  Load(R"({"files": [{"name": "Bare", "scripts": [{"name": "Only"}], "layouts": ["L"]},
                     {"name": "Sales"}]})");
  EXPECT_EQ(BuildSchemaSnapshot(In("Bare"), ""), "{}");
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Bare"), "{}");
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Not Open"), "{}");
}

TEST_F(SchemaSnapshot, TableListedTwiceByTheHostIsWrittenOnceWithItsFieldsOnce) {
  Load(R"({"files": [{"name": "Sales", "questionMark": ["ExecuteSQL"],
                      "tables": [{"name": "A", "fields": [{"name": "x"}]}, {"name": "B"},
                                 {"name": "A", "fields": [{"name": "y"}]}]}]})");
  const auto snapshot = nlohmann::json::parse(BuildSchemaSnapshot(In("Sales"), ""));
  EXPECT_EQ(snapshot["tables"],
            nlohmann::json::parse(R"([{"name":"A","fields":[{"name":"x","type":"","class":""}]},)"
                                  R"({"name":"B","fields":[]}])"));
}

// Names that would end a literal in a calculation expression or a string in JSON.
constexpr const char* kAwkwardSolution = R"({
  "account": "Ann \"Q\" \\ O'Neil",
  "files": [
    {"name": "Sales", "tables": [{"name": "Plain", "fields": [{"name": "A"}]}]},
    {"name": "Q\"uote\\B\u00e4ck\u00b6s",
     "tables": [{"name": "T\"ab\\le\u00b6", "fields": [
                   {"name": "Fi\u0001eld\ttab", "type": "varchar", "class": "Normal"},
                   {"name": "Gr\u00f6\u00dfe \u65e5\u672c", "type": "decimal", "class": "Calculated"}]},
                {"name": "\u00c4rzte", "fields": [{"name": "x\"y\\z", "type": "varchar", "class": "Normal"}]}],
     "scripts": [{"name": "Say \"hi\""}, {"name": "Back\\slash"}],
     "layouts": ["\u00dcbersicht"],
     "valueLists": ["Tab\there"],
     "privilegeSets": ["Ctl\u001f"],
     "customFunctions": ["F\u00fcnf"]}
  ]
})";

// By the fields query in the file itself, then by name from another file, where types and classes
// are empty ("T" sorts before "Ä", so both routes give the same order).
TEST_F(SchemaSnapshot, AwkwardNamesSurviveBothRoutes) {
  Load(kAwkwardSolution);
  nlohmann::json expected = nlohmann::json::parse(R"({"file":"Q\"uote\\B\u00e4ck\u00b6s",
    "account":"Ann \"Q\" \\ O'Neil",
    "tables":[{"name":"T\"ab\\le\u00b6","fields":[
                {"name":"Fi\u0001eld\ttab","type":"varchar","class":"Normal"},
                {"name":"Gr\u00f6\u00dfe \u65e5\u672c","type":"decimal","class":"Calculated"}]},
              {"name":"\u00c4rzte","fields":[{"name":"x\"y\\z","type":"varchar","class":"Normal"}]}],
    "scripts":["Say \"hi\"","Back\\slash"],"layouts":["\u00dcbersicht"],"valueLists":["Tab\there"],
    "privilegeSets":["Ctl\u001f"],"customFunctions":["F\u00fcnf"]})");
  const std::string file = expected["file"];
  const std::string byQuery = BuildSchemaSnapshot(In(file), "");
  EXPECT_NE(byQuery.find(R"("name":"Fi\u0001eld\ttab")"), std::string::npos) << byQuery;
  EXPECT_EQ(nlohmann::json::parse(byQuery), expected);
  for (auto& table : expected["tables"])
    for (auto& field : table["fields"])
      field["type"] = field["class"] = "";
  const std::string byName = BuildSchemaSnapshot(In("Sales"), file);
  EXPECT_NE(byName.find(R"("file":"Q\"uote\\B)"), std::string::npos) << byName;
  EXPECT_EQ(nlohmann::json::parse(byName), expected);
}

// Tables come in the order of their first row and fields in row order; a row needs two
// separators, and its parts are taken as they are. Each case gives "table|field|type|class;" per
// field read.
TEST(FieldQueryRows, AreReadInRowOrderAndTakenAsTheyAre) {
  const std::pair<const char*, const char*> cases[] = {
      {"B||b1||t||c\rA||a1||t||c\rB||b2||t||c\r\rA||a2||t||c",
       "B|b1|t|c;B|b2|t|c;A|a1|t|c;A|a2|t|c;"},
      {"?\rT||f\rjust text\n", ""},
      {"T||f||var char\r", "T|f|var char|;"},
      {" T || f ||t||c||d\r\n", " T | f |t|c||d;"},
      {"||||||", "|||;"},
  };
  for (const auto& [rows, fields] : cases) {
    SchemaTables tables;
    AddFieldQueryRows(tables, rows);
    std::string read;
    for (const std::string& table : tables.order)
      for (const SchemaField& field : tables.index.at(table))
        read += table + "|" + field.name + "|" + field.type + "|" + field.fieldClass + ";";
    EXPECT_EQ(read, fields) << rows;
  }
}

} // namespace

} // namespace tideloom
