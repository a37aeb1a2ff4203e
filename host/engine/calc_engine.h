// The host stand-in's calculation engine: FileMaker's calculation language, the subset that
// plug-ins and their tests use, over a solution loaded from JSON.
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

// A calculation value. FileMaker is loosely typed; the engine keeps text (UTF-8) and remembers
// whether it came from a number so that number-taking functions can accept it either way.
struct CalcValue {
  std::string text;
  bool isNumber = false;
};

// error is 0 on success, otherwise a FileMaker-style error code (for example 1200 for a syntax
// error, 100 for a missing file, 102 for a missing field/table, 1201 for too few or too many
// arguments, 1202 for an unknown function) and value is empty.
struct CalcResult {
  int error = 0;
  CalcValue value;
};

// Local variables of a running script or calculation ($name); shared by re-entrant calls.
using CalcVariables = std::map<std::string, CalcValue>;

// Where an expression is evaluated: the file whose context it runs in and its variables.
struct CalcContext {
  std::string fileName;        // the file of Get(FileName); must name an open file
  CalcVariables* variables;    // may be null: $variables then read as empty, cannot be set
};

// Plug-in functions and anything else the engine does not know itself are looked up here.
// Returns nullopt when no such function exists (the engine then reports an unknown function).
// Called with the arguments already evaluated; may re-enter the engine.
using ExternalFunctionLookup = std::function<std::optional<CalcResult>(
    const std::string& name, const std::vector<CalcValue>& arguments, const CalcContext& context)>;

class CalcEngine {
 public:
  CalcEngine(std::shared_ptr<Solution> solution, ExternalFunctionLookup external);
  ~CalcEngine();
  CalcEngine(const CalcEngine&) = delete;
  CalcEngine& operator=(const CalcEngine&) = delete;

  // Parses and evaluates an expression. Re-entrant: an external function may call Evaluate.
  CalcResult Evaluate(std::string_view expression, const CalcContext& context);

  Solution& solution();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An XML rendering of a file's schema (tables, fields, scripts, layouts, value lists, custom
// functions), as "Save a Copy as XML" writes it.
std::string RenderFileAsXml(const SolutionFile& file);

}  // namespace fmhost
