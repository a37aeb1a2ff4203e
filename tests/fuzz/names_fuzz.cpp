// File names as windows, databases and snippets hand them over: the clipboard's type detection,
// name normalisation, the unique list and the calculation literal never crash, and the literal
// reads back as the text it quotes.
#include <vector>

#include "functions/clipboard_functions.h"
#include "fuzz_input.h"
#include "schema/context_report.h"

using namespace tideloom;

namespace {
// The host's reading of a text literal: \" \\ and \¶ are the escapes, a bare quote ends it.
bool Unquote(std::string_view literal, std::string& text) {
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return false;
  literal = literal.substr(1, literal.size() - 2);
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '"') return false;
    if (literal[i] == '\\' && ++i == literal.size()) return false;
    text += literal[i];
  }
  return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [first, second] = SplitFields<2>(data, size);
  (void)clipboard_functions::DetectXmlType(second);

  const std::string normalized = NormalizeFileName(first);
  Require(normalized.size() <= first.size(), "NormalizeFileName grew the name");
  std::vector<std::string> list;
  AddFileNameUnique(list, first);
  AddFileNameUnique(list, normalized);
  AddFileNameUnique(list, first);
  Require(list.size() <= 2, "AddFileNameUnique listed a name twice");

  std::string unquoted;
  Require(Unquote(QuoteCalcText(second), unquoted) && unquoted == second,
          "QuoteCalcText does not read back");
  return 0;
}
