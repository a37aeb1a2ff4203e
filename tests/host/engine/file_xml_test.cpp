// The "Save a Copy as XML" rendering.
#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "embedded_solutions.inc"
#include "engine/calc_engine.h"

namespace fmhost {
namespace {

// Checks what a parser needs: one root, balanced tags, quoted attributes without '<', and
// every '&' starting a known entity. Returns what is wrong, or "".
std::string XmlProblem(std::string_view xml) {
  static const std::set<std::string_view> entities = {"&amp;",  "&lt;",  "&gt;",  "&quot;",
                                                      "&apos;", "&#13;", "&#10;", "&#9;"};
  std::vector<std::string> open;
  bool sawRoot = false;
  for (std::size_t i = 0; i < xml.size();) {
    if (xml[i] == '&') {
      const std::size_t end = xml.find(';', i);
      if (end == std::string_view::npos) return "bare &";
      if (!entities.contains(xml.substr(i, end - i + 1))) return "entity at " + std::to_string(i);
      i = end + 1;
    } else if (xml[i] == '>') {
      return "bare > at " + std::to_string(i);
    } else if (xml[i] != '<') {
      if (open.empty() && xml[i] != '\n') return "text outside the root";
      ++i;
    } else if (xml.substr(i, 2) == "<?") {
      i = xml.find("?>", i) + 2;
    } else {
      std::size_t j = i + 1; // the tag's end, skipping quoted attribute values
      for (bool quoted = false; j < xml.size() && (quoted || xml[j] != '>'); ++j) {
        if (xml[j] == '"') quoted = !quoted;
        if (quoted && xml[j] == '<') return "< in attribute";
      }
      if (j >= xml.size()) return "unclosed tag";
      const std::string_view tag = xml.substr(i + 1, j - i - 1);
      i = j + 1;
      const std::string name(tag.substr(0, tag.find_first_of(" /", 1)));
      if (tag.starts_with('/')) {
        if (open.empty() || "/" + open.back() != name) return "mismatched <" + name;
        open.pop_back();
        continue;
      }
      if (open.empty() && std::exchange(sawRoot, true)) return "second root " + name;
      if (!tag.ends_with('/')) open.push_back(name);
    }
  }
  if (!open.empty()) return "unclosed " + open.back();
  return sawRoot ? "" : "no root";
}

TEST(FileXmlTest, TheExampleFileRendersAsWellFormedSaveAsXml) {
  const Solution solution = ParseSolution(kDemoSolutionJson);
  const std::string xml = RenderFileAsXml(solution.files[0]);
  EXPECT_EQ("", XmlProblem(xml));
  EXPECT_EQ(0u, xml.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FMSaveAsXML "
                         "version=\"2.2.3.0\" Source=\""));
  for (const char* part :
       {" File=\"Sales.fmp12\"", "<BaseTableCatalog membercount=\"4\">", "<FieldsForTables>",
        "<ScriptCatalog membercount=\"5\">", "<LayoutCatalog membercount=\"5\">",
        "<ValueListCatalog", "<CustomFunctionsCatalog", "<PrivilegeSetsCatalog",
        "name=\"TideLoom Live Push\"", "name=\"Save a Copy as XML\"", "TideLoom.LivePush ( $path )",
        "datatype=\"Timestamp\"", "datatype=\"Binary\"", "fieldtype=\"Summary\""}) {
    EXPECT_NE(std::string::npos, xml.find(part)) << part;
  }
  EXPECT_GT(xml.size(), 20000u);                      // worth uploading
  EXPECT_EQ(xml, RenderFileAsXml(solution.files[0])); // UUIDs follow from names
}

TEST(FileXmlTest, NamesAreEscapedAndWhatXmlCannotHoldIsReplaced) {
  const Solution solution = ParseSolution(kOddNamesSolutionJson);
  SolutionFile file = solution.files[0];
  file.layouts.push_back(std::string("Ctrl\x01"
                                     "Char and bad \xC3 UTF-8 \xED\xA0\x80") +
                         "<x>");
  file.scripts[0].steps.push_back({"", "\"]]>\" & \"</Text>\""});
  const std::string xml = RenderFileAsXml(file);
  EXPECT_EQ("", XmlProblem(xml));
  EXPECT_NE(std::string::npos, xml.find("name=\"Men\xC3\xBC &amp; &quot;Specials&quot;\""));
  EXPECT_NE(std::string::npos, xml.find("name=\"Price &lt;EUR&gt;\""));
  EXPECT_NE(std::string::npos, xml.find("name=\"Back\\Slash &apos;quoted&apos;\""));
  EXPECT_NE(std::string::npos, xml.find("Line\xC2\xB6"
                                        "Break"));
  EXPECT_NE(std::string::npos, xml.find("Ctrl\xEF\xBF\xBD"
                                        "Char and bad \xEF\xBF\xBD UTF-8 "
                                        "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD&lt;x&gt;"));
  EXPECT_NE(std::string::npos, xml.find("&quot;]]&gt;&quot; &amp; &quot;&lt;/Text&gt;&quot;"));

  SolutionFile blank; // an empty file still renders a complete document
  blank.name = "Blank";
  EXPECT_EQ("", XmlProblem(RenderFileAsXml(blank)));
  EXPECT_NE(std::string::npos, RenderFileAsXml(blank).find("<BaseTableCatalog membercount=\"0\">"));
}

} // namespace
} // namespace fmhost
