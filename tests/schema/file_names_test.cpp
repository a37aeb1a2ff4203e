// How a window title or database entry becomes a file name, and how a name is written into a
// calculation expression. The file list itself is checked with the context report.
#include <gtest/gtest.h>
#include <string>

#include "schema/context_report.h"

namespace tideloom {

namespace {

TEST(FileNameNormalisation, WindowTitleIsCutBeforeParenthesisThenDashThenExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"Sales - Invoices (Detail)", "Sales"},
      {"Sales (Copy - 2)", "Sales"},
      {"Sales - Copy - 2", "Sales"},
      {"Sales-Invoices(Detail)", "Sales-Invoices(Detail)"},
      {"  Sales  ", "  Sales  "},
      {"Inventory.FmP12", "Inventory"}, // in any letter case
      {"Inventory.FMP12 (2)", "Inventory"},
      {"a.fmp12", "a"},
      {".FMP12", ".FMP12"}, // unless it is all there is
      {"Inventory.fmp12.bak", "Inventory.fmp12.bak"},
      {"Sales.fmp12 ", "Sales.fmp12 "},
      {"", ""},
  };
  for (const auto& [title, name] : cases)
    EXPECT_EQ(NormalizeFileName(title), name) << title;
}

TEST(CalculationLiteral, QuotesBackslashesAndPilcrowsAreEscapedAndOtherBytesPassUnchanged) {
  EXPECT_EQ(QuoteCalcText(""), "\"\"");
  EXPECT_EQ(QuoteCalcText("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(QuoteCalcText("Para\xC2\xB6\xC2\xB6"), "\"Para\\\xC2\xB6\\\xC2\xB6\"");
  // Only the pair C2 B6 is a pilcrow: a lone C2, or B6 after another lead byte, is not.
  const std::string text = "\xC3\xA4\xE6\x97\xA5\xC2\xA7\xC3\xB6\xC2\r\n\t\x01'";
  EXPECT_EQ(QuoteCalcText(text), "\"" + text + "\"");
  EXPECT_EQ(QuoteCalcText("end\xC2"), "\"end\xC2\"");
}

} // namespace

} // namespace tideloom
