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

// The Sales solution with members added to one of its files.
std::string SalesSolutionWith(const std::string& file, std::string_view members) {
  std::string solution = kSalesSolution;
  const std::string anchor = R"({"name": ")" + file + "\",";
  return solution.replace(solution.find(anchor), anchor.size(),
                          anchor + std::string(members) + ",");
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

// A query or list that answers "?" or an error is read the other way: the tables by name, the
// custom functions from the calling file.
TEST_F(SchemaSnapshot, UnusableQueryOrCustomFunctionListFallsBackToTheOtherRoute) {
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
  EXPECT_EQ(BuildSchemaSnapshot(NoContext(), ""), "{}");
  EXPECT_EQ(BuildSchemaSnapshot(NoContext(), "Sales"), "{}");
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

// The rows of the fields query, read on their own: "table|field|type|class;" per field, in order.
std::string Fields(std::string_view rows) {
  SchemaTables tables;
  AddFieldQueryRows(tables, rows);
  std::string out;
  for (const std::string& table : tables.order)
    for (const SchemaField& field : tables.index.at(table))
      out += table + "|" + field.name + "|" + field.type + "|" + field.fieldClass + ";";
  return out;
}

// Tables come in the order of their first row and fields in row order; a row needs two
// separators, and its parts are taken as they are.
TEST(FieldQueryRows, AreReadInRowOrderAndTakenAsTheyAre) {
  const std::pair<const char*, const char*> cases[] = {
      {"B||b1||t||c\rA||a1||t||c\rB||b2||t||c\r\rA||a2||t||c",
       "B|b1|t|c;B|b2|t|c;A|a1|t|c;A|a2|t|c;"},
      {"?\rT||f\rjust text\n", ""},
      {"T||f||var char\r", "T|f|var char|;"},
      {" T || f ||t||c||d\r\n", " T | f |t|c||d;"},
      {"||||||", "|||;"},
  };
  for (const auto& [rows, fields] : cases)
    EXPECT_EQ(Fields(rows), fields) << rows;
}

} // namespace

} // namespace tideloom
