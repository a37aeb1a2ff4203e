// What the host tells about its files: Get, the name lists, file matching, and a solution's
// questionMark and failing lists.
#include "engine_fixture.h"

namespace fmhost {
namespace {

using NameFunctionsTest = EngineTest;

TEST_F(NameFunctionsTest, GetAnswersFromTheSolutionAndTheContextFile) {
  EXPECT_EQ("Sales", Text("Get(FileName)"));
  EXPECT_EQ("Contacts", Text("get ( filename )", "contacts.FMP12"));
  EXPECT_EQ("Admin", Text("Get ( AccountName )"));
  EXPECT_EQ("[Full Access]", Text("Get ( PrivilegeSetName )"));
  EXPECT_EQ("7A3F9C2E1B5D4E8F9A0B1C2D3E4F5A6B", Text("Get ( PersistentID )"));
  EXPECT_EQ("Sales - Invoices (Detail)", Text("Get ( WindowName )"));
  EXPECT_EQ(kCalcErrorGetParameter, Error("Get ( NoSuchThing )"));
  solution->windows.clear();
  EXPECT_EQ("", Text("Get ( WindowName )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("\"x\"", "Nowhere")); // a context file not open
}

TEST_F(NameFunctionsTest, WindowAndDatabaseListsAreReturnSeparatedAndMatchFileNamesAsWholeWords) {
  EXPECT_EQ("Sales - Invoices (Detail)\rContacts - People (List)\rInventory - Products (Table)\r"
            "Sales - Dashboard",
            Text("WindowNames"));
  EXPECT_EQ(Text("WindowNames"), Text("WindowNames ( )"));
  EXPECT_EQ("Sales - Invoices (Detail)\rSales - Dashboard",
            Text("WindowNames ( \"sales.FMP12\" )"));
  EXPECT_EQ("Sales.fmp12\rContacts.fmp12\rInventory", Text("DatabaseNames"));
  EXPECT_EQ(Text("DatabaseNames"), Text("DatabaseNames ( \"Inventory\" )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("WindowNames ( \"Nowhere\" )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("DatabaseNames ( \"Nowhere\" )"));
  // A file's windows are those titled with its name as a whole word.
  solution->windows = {"Sales", "SalesArchive - Old", "Sales 2", "sales - lower", "Contacts"};
  EXPECT_EQ("Sales\rSales 2\rsales - lower", Text("WindowNames ( \"Sales\" )"));
  solution->windows.clear();
  EXPECT_EQ("", Text("WindowNames ( \"Sales\" )"));
  EXPECT_EQ("", Text("WindowNames"));
}

TEST_F(NameFunctionsTest, SchemaListsFollowTheSolutionsOrder) {
  EXPECT_EQ("People\rCompanies\rAddresses", Text("TableNames ( \"Contacts\" )"));
  EXPECT_EQ("Id\rSku\rName\rPrice\rInStock\rPicture",
            Text("FieldNames ( \"Inventory\" ; \"products\" )"));
  EXPECT_EQ("TideLoom Live Push\rOpen Invoice\rPrint Invoice\rSend Reminder Emails\rNightly Export",
            Text("ScriptNames ( Get ( FileName ) )"));
  EXPECT_EQ("Products\rStock Movements", Text("LayoutNames ( \"Inventory.fmp12\" )"));
  EXPECT_EQ("Countries\rCompanies", Text("ValueListNames ( \"CONTACTS\" )"));
  EXPECT_EQ("[Full Access]\rWarehouse", Text("PrivilegeSetNames ( \"Inventory\" )"));
  EXPECT_EQ("FormatPhone", Text("CustomFunctionNames ( \"Contacts\" )"));
  EXPECT_EQ("", Text("CustomFunctionNames ( \"Inventory\" )"));
  // Without a file it lists the context file's.
  EXPECT_EQ("FormatCurrency\rInvoiceAge", Text("CustomFunctionNames"));
  EXPECT_EQ("FormatCurrency\rInvoiceAge", Text("CustomFunctionNames ( )"));
  EXPECT_EQ("FormatPhone", Text("CustomFunctionNames", "Contacts"));
}

TEST_F(NameFunctionsTest, MissingFilesTablesAndWrongArgumentCountsAreErrors) {
  EXPECT_EQ(kCalcErrorFileMissing, Error("ScriptNames ( \"Nowhere\" )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("TableNames ( \"\" )"));
  EXPECT_EQ(kCalcErrorFileMissing, Error("FieldNames ( \"Nowhere\" ; \"People\" )"));
  EXPECT_EQ(kCalcErrorTableMissing, Error("FieldNames ( \"Contacts\" ; \"Invoices\" )"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("ScriptNames"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("ScriptNames ( )"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("ScriptNames ( \"Sales\" ; \"Sales\" )"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("FieldNames ( \"Sales\" )"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("WindowNames ( \"Sales\" ; \"Sales\" )"));
  EXPECT_EQ(kCalcErrorArgumentCount, Error("Char"));
  EXPECT_EQ(kCalcErrorUnknownFunction, Error("NoSuchFunction ( 1 )"));
  EXPECT_EQ(kCalcErrorUnknownFunction, Error("Sales"));
}

TEST_F(NameFunctionsTest, TheLivePushScriptCheckCountsExactLinesOnly) {
  const std::string check =
      "PatternCount ( Char ( 13 ) & ScriptNames ( \"%\" ) & Char ( 13 ) ; Char ( 13 ) & "
      "\"TideLoom Live Push\" & Char ( 13 ) )";
  auto checkFor = [&](const std::string& file) {
    std::string expression = check;
    expression.replace(expression.find('%'), 1, file);
    return Text(expression);
  };
  EXPECT_EQ("1", checkFor("Sales"));
  EXPECT_EQ("0", checkFor("Contacts")); // it has "Tide Loom Live Push" only
}

TEST_F(NameFunctionsTest, CharGivesTheCodePointsCharacter) {
  EXPECT_EQ("A", Text("Char ( 65 )"));
  EXPECT_EQ("\r", Text("Char ( 13 )"));
  EXPECT_EQ("\xC3\xA9", Text("Char ( 233 )"));
  EXPECT_EQ("\xE2\x82\xAC", Text("Char ( \"8364\" )"));
  EXPECT_EQ("\xF0\x9F\x8C\x8A", Text("Char ( 127754 )"));
  EXPECT_EQ("", Text("Char ( 0 )"));
  EXPECT_EQ("", Text("Char ( 55296 )"));   // a lone surrogate is no character
  EXPECT_EQ("", Text("Char ( 1114112 )")); // past U+10FFFF
  EXPECT_EQ("", Text("Char ( 99999999999999999999 )"));
  EXPECT_EQ("", Text("Char ( \"none\" )"));
  EXPECT_EQ("A", Text("Char ( 65.9 )"));
  EXPECT_EQ("A", Text("cHaR ( 65 )"));
  EXPECT_EQ("Sales.fmp12\rContacts.fmp12\rInventory", Text("databasenames"));
}

TEST_F(NameFunctionsTest, PatternCountIsCaseBlindAndCountsWithoutOverlap) {
  EXPECT_EQ("2", Text("PatternCount ( \"Banana\" ; \"AN\" )"));
  EXPECT_EQ("1", Text("PatternCount ( \"aaa\" ; \"aa\" )"));
  EXPECT_EQ("0", Text("PatternCount ( \"abc\" ; \"\" )"));
  EXPECT_EQ("0", Text("PatternCount ( \"\" ; \"a\" )"));
  EXPECT_EQ("2", Text("PatternCount ( \"\xC3\x89t\xC3\xA9\" ; \"\xC3\xA9\" )")); // Été ; é
  EXPECT_EQ("1", Text("PatternCount ( \"\xD0\x9C\xD0\x98\xD0\xA0\" ; \"\xD0\xBC\xD0\xB8\" )"));
  EXPECT_EQ("1", Text("PatternCount ( \"a\xFF"
                      "b\" ; \"\xFF"
                      "B\" )")); // stray bytes match
  EXPECT_TRUE(Eval("PatternCount ( \"a\" ; \"a\" )").value.isNumber);
  EXPECT_EQ(kCalcErrorArgumentCount, Error("PatternCount ( \"a\" )"));
}

class OverrideTest : public EngineTest {
protected:
  OverrideTest() : EngineTest(kOddNamesSolutionJson) {}
};

TEST_F(OverrideTest, QuestionMarkAndFailingApplyToTheFileAFunctionIsAskedAbout) {
  // Café lists CustomFunctionNames as "?" and LayoutNames as failing with 100.
  EXPECT_EQ("?", Text("CustomFunctionNames ( \"Caf\xC3\xA9\" )", "Back\\Slash"));
  EXPECT_EQ("", Text("CustomFunctionNames ( )", "Back\\Slash"));
  EXPECT_EQ("?", Text("CustomFunctionNames"));
  EXPECT_EQ(100, Error("LayoutNames ( Get ( FileName ) )"));
  EXPECT_EQ("", Text("LayoutNames ( \"back\\\\slash.fmp12\" )"));
  solution->files[1].failing["ScriptNames"] = 8;
  solution->files[1].questionMark.push_back("TideLoom.Anything");
  EXPECT_EQ(8, Error("scriptnames ( \"Back\\\\Slash\" )"));
  EXPECT_EQ("Say \"Hi\"\rA\\B", Text("ScriptNames ( \"Caf\xC3\xA9\" )", "Back\\Slash"));
  EXPECT_EQ("?", Text("TideLoom.Anything ( 1 )", "Back\\Slash"));
}

TEST_F(OverrideTest, OddNamesSurviveTheLists) {
  EXPECT_EQ("Caf\xC3\xA9", Text("Get ( FileName )"));
  EXPECT_EQ("Zo\xC3\xAB \"QA\" Tester", Text("Get ( AccountName )"));
  EXPECT_EQ("Men\xC3\xBC & \"Specials\"\rEmpty", Text("TableNames ( \"CAF\xC3\xA9.fmp12\" )"));
  EXPECT_EQ("Gr\xC3\xB6\xC3\x9F"
            "e\rPrice <EUR>\rLine\xC2\xB6"
            "Break\rBack\\Slash 'quoted'",
            Text("FieldNames ( Get ( FileName ) ; \"Men\xC3\xBC & \\\"Specials\\\"\" )"));
  EXPECT_EQ("", Text("FieldNames ( Get ( FileName ) ; \"empty\" )"));
  EXPECT_EQ("Caf\xC3\xA9 - Men\xC3\xBC <\xC3\x9C"
            "bersicht> (Liste)",
            Text("WindowNames ( \"caf\xC3\xA9\" )"));
  EXPECT_EQ("Back\\Slash", Text("WindowNames ( \"Back\\\\Slash\" )"));
  EXPECT_EQ("Caf\xC3\xA9\rBack\\Slash.fmp12", Text("DatabaseNames"));
}

} // namespace
} // namespace fmhost
