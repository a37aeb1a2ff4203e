// The calculation language's syntax tree and its parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fmhost {

// Parentheses, calls and Let may nest this deep; deeper input is refused rather than risking
// the stack (the host's main thread has 1 MiB on Windows).
inline constexpr int kMaxCalcNesting = 200;

struct CalcNode {
  enum class Kind {
    kText,     // text: the literal's value
    kNumber,   // text: the number's text form
    kVariable, // text: "$name" or "$$name"
    kConcat,   // children: the operands of a chain of &
    kCall,     // text: the name as written; children: arguments
    kGet,      // text: the parameter as written
    kLet,      // names: bound names; children: one value per name, then the body
  };
  Kind kind = Kind::kText;
  std::string text;
  std::vector<CalcNode> children;
  std::vector<std::string> names;
  bool bareName = false; // a call written without parentheses: may name a Let variable
};

struct CalcParse {
  bool ok = false;
  CalcNode root;
  std::string error; // what is wrong and the byte offset where, when !ok
};

CalcParse ParseCalculation(std::string_view expression);

} // namespace fmhost
