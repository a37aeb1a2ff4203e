// The host stand-in's calculation engine: FileMaker's calculation language, the subset that
// plug-ins and their tests use, over a solution loaded from JSON.
//
// The language: text literals ("..." with \" \\ \¶ escapes, ¶ inside a literal or on its own is
// a carriage return), number literals, `&`, $local and $$global variables, `//` and `/* */`
// comments, blanks and line breaks between tokens, function calls `Name ( a ; b )` with names
// matched without regard to letter case (a function without arguments is written without
// parentheses or with empty ones), `Get ( Parameter )` and `Let ( [ a = 1 ; $b = 2 ] ; body )`.
//
// Built-in functions: Char, PatternCount, WindowNames {(file)}, DatabaseNames {(file)},
// TableNames (file), FieldNames (file ; table), ScriptNames (file), LayoutNames (file),
// ValueListNames (file), PrivilegeSetNames (file), CustomFunctionNames {(file)},
// ExecuteSQL (query ; fieldSeparator ; rowSeparator {; arguments...}) and Get ( FileName |
// AccountName | WindowName | PrivilegeSetName | PersistentID ). Anything else goes to the
// ExternalFunctionLookup. Lists are separated by carriage returns with none after the last.
//
// A file's "questionMark" and "failing" lists apply to the file a function is asked about: its
// file argument when it has one, else the file the calculation runs in.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/solution.h"

namespace fmhost {

// Evaluation error codes, FileMaker-like (1200s are calculation errors).
inline constexpr int kCalcErrorFileMissing = 100;      // a file argument names no open file
inline constexpr int kCalcErrorTableMissing = 102;     // FieldNames of a table the file lacks
inline constexpr int kCalcErrorScriptMissing = 104;    // RunScript of an unknown script
inline constexpr int kCalcErrorSyntax = 1200;          // syntax error, or a limit (nesting
                                                       // deeper than 200, a text over 16 MiB)
inline constexpr int kCalcErrorArgumentCount = 1201;   // too few or too many arguments
inline constexpr int kCalcErrorUnknownFunction = 1202; // no built-in or external function
inline constexpr int kCalcErrorGetParameter = 1215;    // Get ( ... ) of an unknown parameter

// A calculation value. FileMaker is loosely typed; the engine keeps text (UTF-8) and remembers
// whether it came from a number so that number-taking functions can accept it either way.
struct CalcValue {
  std::string text;
  bool isNumber = false;
};

// error is 0 on success, otherwise one of the codes above (or a "failing" code of the solution,
// or an external function's code) and value is empty.
struct CalcResult {
  int error = 0;
  CalcValue value;
};

// Local variables of a running script or calculation ($name); shared by re-entrant calls.
using CalcVariables = std::map<std::string, CalcValue>;

// Where an expression is evaluated: the file whose context it runs in and its variables.
struct CalcContext {
  std::string fileName;     // the file of Get(FileName); empty means the solution's active
                            // file; a name that is no open file fails every evaluation (100)
  CalcVariables* variables; // may be null: $variables then live only during one Evaluate
};

// Plug-in functions and anything else the engine does not know itself are looked up here.
// Returns nullopt when no such function exists (the engine then reports an unknown function).
// Called with the arguments already evaluated; may re-enter the engine.
using ExternalFunctionLookup = std::function<std::optional<CalcResult>(
    const std::string& name, const std::vector<CalcValue>& arguments, const CalcContext& context)>;

// What running a script did.
struct ScriptRun {
  int error = 0;           // 0 when the steps ran; else startError, 100 or 104 (nothing ran)
  int lastStepError = 0;   // the last non-zero error of a step, as Get(LastError) would tell
  CalcVariables variables; // the script's $variables when it ended
};

class CalcEngine {
public:
  CalcEngine(std::shared_ptr<Solution> solution, ExternalFunctionLookup external);
  ~CalcEngine();
  CalcEngine(const CalcEngine&) = delete;
  CalcEngine& operator=(const CalcEngine&) = delete;

  // Parses and evaluates an expression. Re-entrant: an external function may call Evaluate.
  // One thread at a time.
  CalcResult Evaluate(std::string_view expression, const CalcContext& context);

  // Runs a file's script by name (letter case ignored): its steps in order with fresh $variables.
  // A "saveCopyAsXml" step writes RenderFileAsXml of the file to a new file in the temporary
  // folder and puts its native path (UTF-8) into the variable; an "evaluate" step evaluates in
  // the script's file. A failing step does not stop the script, as in FileMaker.
  ScriptRun RunScript(std::string_view fileName, std::string_view scriptName);

  Solution& solution();

  // Call after changing solution()'s tables or fields: ExecuteSQL keeps one database per file.
  void ForgetCachedQueries();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An XML rendering of a file's schema (tables, fields, scripts, layouts, value lists, custom
// functions), as "Save a Copy as XML" writes it.
std::string RenderFileAsXml(const SolutionFile& file);

} // namespace fmhost
