// How names met in window titles, database lists and bridge state become one file list, and how
// a name is written into a calculation expression.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/list_lines.h"
#include "schema/context_report.h"

namespace tideloom {

namespace {

using Names = std::vector<std::string>;

Names ListOf(const Names& names) {
  Names list;
  for (const std::string& name : names)
    AddFileNameUnique(list, name);
  return list;
}

TEST(FileNameList, EntriesAreTrimmedAndBlankNamesAddNothing) {
  EXPECT_EQ(ListOf({"\r\n \tSales \t\r\n", "", " ", "\t", "\r\n \t", "  Sales  Report  "}),
            Names({"Sales", "Sales  Report"}));
}

TEST(FileNameList, AsciiCaseVariantsAreListedOnceInTheFirstSpellingAndPlace) {
  EXPECT_EQ(ListOf({"b", "Sales", "SALES", "sales ", "B", "a"}), Names({"b", "Sales", "a"}));
  // Letters beyond ASCII are compared byte for byte.
  EXPECT_EQ(ListOf({"\xC3\x84rzte", "\xC3\xA4rzte", "\xC3\x84RZTE"}),
            Names({"\xC3\x84rzte", "\xC3\xA4rzte"}));
}

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

TEST(HostListLines, SplitsAtCarriageReturnsAndLineFeedsSkippingEmptyLines) {
  using Views = std::vector<std::string_view>;
  EXPECT_EQ(HostListLines("a\rb\r\rc\r"), Views({"a", "b", "c"}));
  EXPECT_EQ(HostListLines("a\r\nb\nc"), Views({"a", "b", "c"}));
  EXPECT_EQ(HostListLines(" \r"), Views({" "}));
  EXPECT_TRUE(HostListLines("\r\r\n\n").empty());
}

} // namespace

} // namespace tideloom
