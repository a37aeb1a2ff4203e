// The schema snapshot as a solution sees it through TideLoom.GetSchema: the fast route through
// the fields query, the route through TableNames and FieldNames, and the names in between.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>

#include "host_solution_fixture.h"
#include "schema/schema_snapshot.h"

namespace tideloom {

namespace {

// Two files; Sales has a helper table (Sys...) and a table without fields, which the fields
// query leaves out.
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

// The Sales solution with members added to the Sales file.
std::string SalesSolutionWith(std::string_view salesMembers) {
  std::string solution = kSalesSolution;
  const std::string anchor = R"({"name": "Sales",)";
  solution.replace(solution.find(anchor), anchor.size(),
                   R"({"name": "Sales", )" + std::string(salesMembers) + ",");
  return solution;
}

class SchemaSnapshot : public HostSolutionTest {};

// The current file's exact name behaves like no name; another letter case or the extension is a
// named file: no query, and the name is kept as given.
TEST_F(SchemaSnapshot, CurrentFileIsReadWithTheFieldsQueryAndOtherSpellingsByName) {
  Load(kSalesSolution);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), ""), kSalesByQuery);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Sales"), kSalesByQuery);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "sales"), SalesByNames("sales"));
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Sales.fmp12"), SalesByNames("Sales.fmp12"));
}

TEST_F(SchemaSnapshot, HostWhoseQueryFailsIsReadByNames) {
  for (const char* failure :
       {R"("questionMark": ["ExecuteSQL"])", R"("failing": {"ExecuteSQL": 8309})"}) {
    SCOPED_TRACE(failure);
    Load(SalesSolutionWith(failure));
    EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), ""), SalesByNames("Sales"));
  }
}

TEST_F(SchemaSnapshot, NamedFileIsDescribedFromAnotherFilesContext) {
  Load(kSalesSolution);
  EXPECT_EQ(BuildSchemaSnapshot(In("Sales"), "Other"),
            R"({"file":"Other","account":"Jürgen","tables":[)"
            R"({"name":"Notes","fields":[{"name":"Text","type":"","class":""},)"
            R"({"name":"Created","type":"","class":""}]}],)"
            R"("scripts":["Tidy"],"layouts":[],"valueLists":[],"privilegeSets":[],)"
            R"("customFunctions":["Clean"]})");
}

TEST_F(SchemaSnapshot, UnusableCustomFunctionListFallsBackToTheCallingFiles) {
  for (const char* failure : {R"("questionMark": ["CustomFunctionNames"])",
                              R"("failing": {"CustomFunctionNames": 100})"}) {
    SCOPED_TRACE(failure);
    std::string solution = kSalesSolution;
    const std::string anchor = R"({"name": "Other",)";
    solution.replace(solution.find(anchor), anchor.size(),
                     R"({"name": "Other", )" + std::string(failure) + ",");
    Load(solution);
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
  EXPECT_EQ(BuildSchemaSnapshot(NoContext(), ""), "{}");
  EXPECT_EQ(BuildSchemaSnapshot(NoContext(), "Sales"), "{}");
}

TEST_F(SchemaSnapshot, TableWithoutFieldsIsListedWhenReadByNames) {
  Load(R"({"files": [{"name": "Sales", "questionMark": ["ExecuteSQL"],
                      "tables": [{"name": "Empty"}, {"name": "SysLog", "fields": [{"name": "At"}]}]}]})");
  EXPECT_EQ(
      BuildSchemaSnapshot(In("Sales"), ""),
      R"({"file":"Sales","account":"Admin","tables":[{"name":"Empty","fields":[]},)"
      R"({"name":"SysLog","fields":[{"name":"At","type":"","class":""}]}],)"
      R"("scripts":[],"layouts":[],"valueLists":[],"privilegeSets":[],"customFunctions":[]})");
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

constexpr const char* kAwkwardFile = "Q\"uote\\B\xC3\xA4"
                                     "ck\xC2\xB6s";

// The awkward file's snapshot by the fields query; by names, types and classes are empty.
nlohmann::json AwkwardSnapshot(bool withTypes) {
  nlohmann::json snapshot = nlohmann::json::parse(R"({"file":"Q\"uote\\B\u00e4ck\u00b6s",
    "account":"Ann \"Q\" \\ O'Neil",
    "tables":[{"name":"T\"ab\\le\u00b6","fields":[
                {"name":"Fi\u0001eld\ttab","type":"varchar","class":"Normal"},
                {"name":"Gr\u00f6\u00dfe \u65e5\u672c","type":"decimal","class":"Calculated"}]},
              {"name":"\u00c4rzte","fields":[{"name":"x\"y\\z","type":"varchar","class":"Normal"}]}],
    "scripts":["Say \"hi\"","Back\\slash"],"layouts":["\u00dcbersicht"],"valueLists":["Tab\there"],
    "privilegeSets":["Ctl\u001f"],"customFunctions":["F\u00fcnf"]})");
  // "T" sorts before the non-ASCII letter, so both routes give the same order here.
  for (auto& table : snapshot["tables"])
    for (auto& field : table["fields"])
      if (!withTypes) field["type"] = field["class"] = "";
  return snapshot;
}

TEST_F(SchemaSnapshot, AwkwardNamesSurviveTheQueryRoute) {
  Load(kAwkwardSolution);
  const std::string text = BuildSchemaSnapshot(In(kAwkwardFile), "");
  EXPECT_NE(text.find(R"("name":"Fi\u0001eld\ttab")"), std::string::npos) << text;
  EXPECT_EQ(nlohmann::json::parse(text), AwkwardSnapshot(true));
}

TEST_F(SchemaSnapshot, AwkwardNamesSurviveTheNamedRoute) {
  Load(kAwkwardSolution);
  const std::string text = BuildSchemaSnapshot(In("Sales"), kAwkwardFile);
  EXPECT_NE(text.find(R"("file":"Q\"uote\\B)"), std::string::npos) << text;
  EXPECT_EQ(nlohmann::json::parse(text), AwkwardSnapshot(false));
}

// The rows of the fields query, read on their own.
std::string TablesJson(std::string_view rows) {
  SchemaTables tables;
  AddFieldQueryRows(tables, rows);
  nlohmann::json out = nlohmann::json::array();
  for (const std::string& name : tables.order) {
    nlohmann::json fields = nlohmann::json::array();
    for (const SchemaField& field : tables.index.at(name)) {
      fields.push_back({field.name, field.type, field.fieldClass});
    }
    out.push_back({{"name", name}, {"fields", fields}});
  }
  return out.dump();
}

TEST(FieldQueryRows, TablesComeInTheOrderOfTheirFirstRowAndFieldsInRowOrder) {
  EXPECT_EQ(TablesJson("B||b1||t||c\rA||a1||t||c\rB||b2||t||c\r\rA||a2||t||c"),
            R"([{"fields":[["b1","t","c"],["b2","t","c"]],"name":"B"},)"
            R"({"fields":[["a1","t","c"],["a2","t","c"]],"name":"A"}])");
}

TEST(FieldQueryRows, RowsWithoutTwoSeparatorsAreSkippedAndPartsAreTakenAsTheyAre) {
  EXPECT_EQ(TablesJson("?\rT||f\rjust text\n"), "[]");
  // Two separators: the rest is the type and there is no class.
  EXPECT_EQ(TablesJson("T||f||var char\r"), R"([{"fields":[["f","var char",""]],"name":"T"}])");
  EXPECT_EQ(TablesJson(" T || f ||t||c||d\r\n"),
            R"([{"fields":[[" f ","t","c||d"]],"name":" T "}])");
  EXPECT_EQ(TablesJson("||||||"), R"([{"fields":[["","",""]],"name":""}])");
}

} // namespace

} // namespace tideloom
