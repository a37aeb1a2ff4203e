// What the host tells about its files: Get, the name lists, file matching, and a solution's
// questionMark and failing lists.
#include "engine_fixture.h"

namespace fmhost {
namespace {

using NameFunctionsTest = EngineTest;

TEST_F(NameFunctionsTest, GetListsCharAndPatternCountAnswerFromTheSolutionAndTheContextFile) {
  const char* windows = "Sales - Invoices (Detail)\rContacts - People (List)\r"
                        "Inventory - Products (Table)\rSales - Dashboard";
  ExpectAll({
      {"Get(FileName)", "Sales"},
      {"get ( filename )", "Contacts", 0, "contacts.FMP12"},
      {"Get ( AccountName )", "Admin"},
      {"Get ( PrivilegeSetName )", "[Full Access]"},
      {"Get ( PersistentID )", "7A3F9C2E1B5D4E8F9A0B1C2D3E4F5A6B"},
      {"Get ( WindowName )", "Sales - Invoices (Detail)"},
      {"Get ( NoSuchThing )", "", kCalcErrorGetParameter},
      {"\"x\"", "", kCalcErrorFileMissing, "Nowhere"}, // a context file not open
      {"WindowNames", windows},
      {"WindowNames ( )", windows},
      {"WindowNames ( \"sales.FMP12\" )", "Sales - Invoices (Detail)\rSales - Dashboard"},
      {"DatabaseNames ( \"Inventory\" )", "Sales.fmp12\rContacts.fmp12\rInventory"},
      {"WindowNames ( \"Nowhere\" )", "", kCalcErrorFileMissing},
      {"DatabaseNames ( \"Nowhere\" )", "", kCalcErrorFileMissing},
      {"TableNames ( \"Contacts\" )", "People\rCompanies\rAddresses"},
      {"FieldNames ( \"Inventory\" ; \"products\" )", "Id\rSku\rName\rPrice\rInStock\rPicture"},
      {"ScriptNames ( Get ( FileName ) )",
       "TideLoom Live Push\rOpen Invoice\rPrint Invoice\rSend Reminder Emails\rNightly Export"},
      {"LayoutNames ( \"Inventory.fmp12\" )", "Products\rStock Movements"},
      {"ValueListNames ( \"CONTACTS\" )", "Countries\rCompanies"},
      {"PrivilegeSetNames ( \"Inventory\" )", "[Full Access]\rWarehouse"},
      {"CustomFunctionNames ( \"Inventory\" )", ""},
      {"CustomFunctionNames ( )", "FormatCurrency\rInvoiceAge"}, // the context file's
      {"CustomFunctionNames", "FormatPhone", 0, "Contacts"},
      {"TableNames ( \"\" )", "", kCalcErrorFileMissing},
      {"FieldNames ( \"Contacts\" ; \"Invoices\" )", "", kCalcErrorTableMissing},
      {"ScriptNames", "", kCalcErrorArgumentCount},
      {"ScriptNames ( \"Sales\" ; \"Sales\" )", "", kCalcErrorArgumentCount},
      {"FieldNames ( \"Sales\" )", "", kCalcErrorArgumentCount},
      {"NoSuchFunction ( 1 )", "", kCalcErrorUnknownFunction},
      {"Sales", "", kCalcErrorUnknownFunction},
      {"Char ( 65.9 )", "A"},
      {"Char ( 233 )", "\xC3\xA9"},
      {"Char ( \"8364\" )", "\xE2\x82\xAC"},
      {"Char ( 127754 )", "\xF0\x9F\x8C\x8A"},
      {"Char ( 0 )", ""},
      {"Char ( 55296 )", ""}, // a lone surrogate is no character
      {"Char ( 1114112 )", ""},
      {"Char ( 99999999999999999999 )", ""},
      {"PatternCount ( \"Banana\" ; \"AN\" )", "2"},
      {"PatternCount ( \"aaa\" ; \"aa\" )", "1"},
      {"PatternCount ( \"abc\" ; \"\" )", "0"},
      {"PatternCount ( \"\xC3\x89t\xC3\xA9\" ; \"\xC3\xA9\" )", "2"},
      {"PatternCount ( \"\xD0\x9C\xD0\x98\xD0\xA0\" ; \"\xD0\xBC\xD0\xB8\" )", "1"},
      {"PatternCount ( \"a\xFF\x62\" ; \"\xFF\x42\" )", "1"}, // stray bytes match
      {"PatternCount ( \"a\" )", "", kCalcErrorArgumentCount},
  });
  EXPECT_TRUE(Eval("PatternCount ( \"a\" ; \"a\" )").value.isNumber);
  // A file's windows are those titled with its name as a whole word.
  solution->windows = {"Sales", "SalesArchive - Old", "Sales 2", "sales - lower", "Contacts"};
  EXPECT_EQ("Sales\rSales 2\rsales - lower", Text("WindowNames ( \"Sales\" )"));
  solution->windows.clear();
  ExpectAll({{"WindowNames", ""}, {"Get ( WindowName )", ""}});
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
