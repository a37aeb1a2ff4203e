// Reading solutions: defaults, file lookup and clear messages for malformed ones (and for files
// that cannot be read, in fmhost's command-line tests).
#include <gmock/gmock.h>

#include "engine/solution.h"

namespace fmhost {
namespace {

using ::testing::StartsWith;
using ::testing::ThrowsMessage;

// The example solution itself is read by every engine test.
TEST(SolutionTest, EverythingIsOptionalAndUnknownMembersAreIgnored) {
  const Solution empty = ParseSolution("{}");
  EXPECT_EQ("[Full Access]", empty.privilegeSet);
  EXPECT_EQ("", empty.activeFile);
  EXPECT_TRUE(empty.files.empty());

  const Solution solution = ParseSolution(R"({"future": [1, 2], "account": null,
      "files": [{"name": "A", "color": "blue", "tables": [{"name": "T",
      "fields": [{"name": "F", "comment": "x"}]}], "layouts": [{"name": "L", "width": 800}]},
      {"name": "B"}]})");
  EXPECT_EQ("Admin", solution.account);
  EXPECT_EQ("A", solution.activeFile); // the first file
  EXPECT_EQ("varchar", solution.files[0].tables[0].fields[0].type);
  EXPECT_EQ("Normal", solution.files[0].tables[0].fields[0].fieldClass);
  EXPECT_EQ(std::vector<std::string>{"L"}, solution.files[0].layouts);
  const char* active = R"({"activeFile": "b.FMP12", "files": [{"name": "A"}, {"name": "B"}]})";
  EXPECT_EQ("B", ParseSolution(active).activeFile); // the open file's own name
}

TEST(SolutionTest, FindFileIgnoresCaseAndTheExtensionButNothingElse) {
  Solution solution = ParseSolution(
      R"({"files": [{"name": "Sales"}, {"name": "Stock", "databaseName": "Inventory.fmp12"}]})");
  EXPECT_EQ(&solution.files[0], solution.FindFile("sales.Fmp12"));
  EXPECT_EQ(&solution.files[1], solution.FindFile("inventory"));
  EXPECT_EQ(nullptr, solution.FindFile("Sales "));
  EXPECT_EQ(nullptr, solution.FindFile("Sales.fmp"));
  EXPECT_EQ(nullptr, solution.FindFile(".fmp12"));
}

TEST(SolutionTest, MalformedSolutionsAreRefusedWithMessagesNamingThePlace) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {"[]", "solution: the top level must be a JSON object"},
      {R"({"account": 5})", "solution: account must be a string"},
      {R"({"windows": "Sales"})", "solution: windows must be an array"},
      {R"({"windows": [1]})", "solution: windows[0] must be a string or an object with a \"name\""},
      {R"({"files": [{}]})", "solution: files[0].name must be a non-empty string"},
      {R"({"files": ["Sales"]})", "solution: files[0] must be an object"},
      {R"({"files": [{"name": "A", "tables": [{"name": "T", "fields": [{"name": ""}]}]}]})",
       "solution: files[0].tables[0].fields[0].name must be a non-empty string"},
      {R"({"files": [{"name": "A", "tables": [{"name": "T",
           "fields": [{"name": "F", "type": 1}]}]}]})",
       "solution: files[0].tables[0].fields[0].type must be a string"},
      {R"({"files": [{"name": "A", "failing": {"ScriptNames": 0}}]})",
       "solution: files[0].failing.ScriptNames must be an error code from 1 to 32767"},
      {R"({"files": [{"name": "A", "failing": ["ScriptNames"]}]})",
       "solution: files[0].failing must be an object of function names and codes"},
      {R"({"files": [{"name": "A", "scripts": [{"name": "S", "steps": [{}]}]}]})",
       "solution: files[0].scripts[0].steps[0] must have exactly one of \"saveCopyAsXml\" and "
       "\"evaluate\""},
      {R"({"files": [{"name": "A", "scripts": [{"name": "S",
           "steps": [{"saveCopyAsXml": "path"}]}]}]})",
       "solution: files[0].scripts[0].steps[0].saveCopyAsXml must name a variable such as "
       "\"$path\""},
      {R"({"files": [{"name": "A", "scripts": [{"name": "S", "startError": "3"}]}]})",
       "solution: files[0].scripts[0].startError must be an integer"},
      {R"({"files": [{"name": "A"}, {"name": "a.fmp12"}]})",
       "solution: files[1].name \"a.fmp12\" names a file listed before"},
      {R"({"activeFile": "C", "files": [{"name": "A"}]})",
       "solution: activeFile \"C\" names none of the files"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT([&] { ParseSolution(c.json); }, ThrowsMessage<SolutionError>(StartsWith(c.message)))
        << c.json;
  }
}

} // namespace
} // namespace fmhost
