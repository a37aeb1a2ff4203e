#include "engine/calc_engine.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "engine/calc_syntax.h"
#include "engine/calc_text.h"
#include "engine/file_xml.h"
#include "engine/sql_catalog.h"

namespace fmhost {

namespace {

struct EngineState {
  std::shared_ptr<Solution> solution;
  ExternalFunctionLookup external;
  CalcVariables globals; // $$variables live as long as the engine, like a session's
  std::map<std::string, std::unique_ptr<SqlCatalog>> catalogs; // by FileNameKey
};

// Nodes being evaluated on this thread, re-entrant evaluations included; together with the
// parser's own limit this keeps the stack bounded when plug-ins call back into the engine. A
// call nests two nodes (itself and its argument's &) per level the parser allows.
constexpr int kMaxActiveNodes = 2 * kMaxCalcNesting + 100;
constexpr int kMaxReentry = 32;
// FileMaker's own limit on a text is far larger; this one keeps a runaway Let from exhausting
// memory.
constexpr std::size_t kMaxTextBytes = 16u << 20;
// FileMaker's code for a file that cannot be created on disk.
constexpr int kFileCreateError = 800;

thread_local int activeNodes = 0;
thread_local int activeEvaluations = 0;

class DepthGuard {
public:
  DepthGuard(int& counter, int limit) : counter_(counter), ok_(++counter <= limit) {}
  ~DepthGuard() { --counter_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
  bool ok() const { return ok_; }

private:
  int& counter_;
  bool ok_;
};

CalcResult Failure(int code) { return CalcResult{code, {}}; }
CalcResult Text(std::string text) { return CalcResult{0, {std::move(text), false}}; }
CalcResult Number(std::size_t number) { return CalcResult{0, {std::to_string(number), true}}; }
CalcResult List(const std::vector<std::string>& values) { return Text(JoinValueList(values)); }

CalcValue* FindVariable(CalcVariables& variables, const std::string& name) {
  const auto exact = variables.find(name);
  if (exact != variables.end()) return &exact->second;
  for (auto& [key, value] : variables) {
    if (EqualsIgnoringAsciiCase(key, name)) return &value;
  }
  return nullptr;
}

void SetVariable(CalcVariables& variables, const std::string& name, CalcValue value) {
  if (CalcValue* existing = FindVariable(variables, name)) {
    *existing = std::move(value);
  } else {
    variables[name] = std::move(value);
  }
}

bool Lists(const std::vector<std::string>& names, std::string_view name) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& listed) {
    return EqualsIgnoringAsciiCase(listed, name);
  });
}

struct Evaluation {
  EngineState& engine;
  const SolutionFile* contextFile;
  CalcContext context; // what external functions see: the resolved file and live variables
  std::vector<std::pair<std::string, CalcValue>> locals; // Let's names, innermost last
};

// The questionMark and failing lists of the file a function is asked about.
std::optional<CalcResult> SolutionOverride(const SolutionFile* file, std::string_view function) {
  if (file == nullptr) return std::nullopt;
  for (const auto& [name, code] : file->failing) {
    if (EqualsIgnoringAsciiCase(name, function)) return Failure(code);
  }
  if (Lists(file->questionMark, function)) return Text("?");
  return std::nullopt;
}

using Arguments = std::vector<CalcValue>;

// file: the file the function is about (its file argument, else the context file; may be null).
using BuiltinRun = CalcResult (*)(Evaluation&, const Arguments&, const SolutionFile* file);

struct BuiltinFunction {
  std::string_view name;
  int minArguments;
  int maxArguments;
  bool firstArgumentIsFile;
  BuiltinRun run;
};

constexpr int kAnyCount = 1 << 20;

CalcResult RunChar(Evaluation&, const Arguments& args, const SolutionFile*) {
  uint32_t codePoint = 0;
  std::string text;
  if (IntegerFromText(args[0].text, codePoint)) AppendCodePoint(text, codePoint);
  return Text(std::move(text));
}

CalcResult RunPatternCount(Evaluation&, const Arguments& args, const SolutionFile*) {
  return Number(CountOccurrencesIgnoringCase(args[0].text, args[1].text));
}

// A file's windows: titles that are its name or begin with it followed by a non-letter, as in
// "Sales - Invoices (Detail)" or "Sales 2".
bool WindowBelongsTo(std::string_view title, const SolutionFile& file) {
  const std::string_view name = file.name;
  if (title.size() < name.size() || !EqualsIgnoringAsciiCase(title.substr(0, name.size()), name)) {
    return false;
  }
  if (title.size() == name.size()) return true;
  const char next = title[name.size()];
  const bool alnum = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                     (next >= '0' && next <= '9') || static_cast<unsigned char>(next) >= 0x80;
  return !alnum;
}

CalcResult RunWindowNames(Evaluation& evaluation, const Arguments& args, const SolutionFile* file) {
  const std::vector<std::string>& windows = evaluation.engine.solution->windows;
  if (args.empty()) return List(windows);
  std::vector<std::string> own;
  for (const std::string& title : windows) {
    if (WindowBelongsTo(title, *file)) own.push_back(title);
  }
  return List(own);
}

CalcResult RunDatabaseNames(Evaluation& evaluation, const Arguments&, const SolutionFile*) {
  std::vector<std::string> names;
  for (const SolutionFile& open : evaluation.engine.solution->files) {
    names.push_back(open.databaseName.empty() ? open.name : open.databaseName);
  }
  return List(names);
}

CalcResult RunTableNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  std::vector<std::string> names;
  for (const SolutionTable& table : file->tables)
    names.push_back(table.name);
  return List(names);
}

CalcResult RunFieldNames(Evaluation&, const Arguments& args, const SolutionFile* file) {
  for (const SolutionTable& table : file->tables) {
    if (!EqualsIgnoringAsciiCase(table.name, args[1].text)) continue;
    std::vector<std::string> names;
    for (const SolutionField& field : table.fields)
      names.push_back(field.name);
    return List(names);
  }
  return Failure(kCalcErrorTableMissing);
}

CalcResult RunScriptNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  std::vector<std::string> names;
  for (const SolutionScript& script : file->scripts)
    names.push_back(script.name);
  return List(names);
}

CalcResult RunLayoutNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  return List(file->layouts);
}

CalcResult RunValueListNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  return List(file->valueLists);
}

CalcResult RunPrivilegeSetNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  return List(file->privilegeSets);
}

CalcResult RunCustomFunctionNames(Evaluation&, const Arguments&, const SolutionFile* file) {
  if (file == nullptr) return Failure(kCalcErrorFileMissing);
  return List(file->customFunctions);
}

CalcResult RunExecuteSql(Evaluation& evaluation, const Arguments& args, const SolutionFile* file) {
  if (file == nullptr) return Failure(kCalcErrorFileMissing);
  std::unique_ptr<SqlCatalog>& catalog = evaluation.engine.catalogs[FileNameKey(file->name)];
  if (!catalog) catalog = BuildSqlCatalog(*file);
  if (!catalog) return Text("?");
  const std::string fieldSeparator = args[1].text.empty() ? "," : args[1].text;
  const std::string rowSeparator =
      args[2].text.empty() ? std::string(1, kValueSeparator) : args[2].text;
  std::vector<std::string> parameters;
  for (std::size_t i = 3; i < args.size(); ++i)
    parameters.push_back(args[i].text);
  std::optional<std::string> rows =
      RunSqlQuery(*catalog, args[0].text, fieldSeparator, rowSeparator, parameters);
  return Text(rows ? std::move(*rows) : std::string("?"));
}

constexpr std::array<BuiltinFunction, 12> kBuiltins = {{
    {"Char", 1, 1, false, RunChar},
    {"PatternCount", 2, 2, false, RunPatternCount},
    {"WindowNames", 0, 1, true, RunWindowNames},
    {"DatabaseNames", 0, 1, true, RunDatabaseNames},
    {"TableNames", 1, 1, true, RunTableNames},
    {"FieldNames", 2, 2, true, RunFieldNames},
    {"ScriptNames", 1, 1, true, RunScriptNames},
    {"LayoutNames", 1, 1, true, RunLayoutNames},
    {"ValueListNames", 1, 1, true, RunValueListNames},
    {"PrivilegeSetNames", 1, 1, true, RunPrivilegeSetNames},
    {"CustomFunctionNames", 0, 1, true, RunCustomFunctionNames},
    {"ExecuteSQL", 3, kAnyCount, false, RunExecuteSql},
}};

const BuiltinFunction* FindBuiltin(std::string_view name) {
  for (const BuiltinFunction& function : kBuiltins) {
    if (EqualsIgnoringAsciiCase(function.name, name)) return &function;
  }
  return nullptr;
}

CalcResult EvaluateNode(Evaluation& evaluation, const CalcNode& node);

CalcResult EvaluateGet(Evaluation& evaluation, const CalcNode& node) {
  if (auto overridden = SolutionOverride(evaluation.contextFile, "Get")) return *overridden;
  const Solution& solution = *evaluation.engine.solution;
  const std::string& parameter = node.text;
  if (EqualsIgnoringAsciiCase(parameter, "FileName")) {
    return Text(evaluation.contextFile != nullptr ? evaluation.contextFile->name : "");
  }
  if (EqualsIgnoringAsciiCase(parameter, "AccountName")) return Text(solution.account);
  if (EqualsIgnoringAsciiCase(parameter, "PrivilegeSetName")) return Text(solution.privilegeSet);
  if (EqualsIgnoringAsciiCase(parameter, "PersistentID")) return Text(solution.persistentId);
  if (EqualsIgnoringAsciiCase(parameter, "WindowName")) {
    return Text(solution.windows.empty() ? "" : solution.windows.front());
  }
  return Failure(kCalcErrorGetParameter);
}

CalcResult EvaluateVariable(Evaluation& evaluation, const CalcNode& node) {
  CalcVariables& variables =
      node.text.starts_with("$$") ? evaluation.engine.globals : *evaluation.context.variables;
  const CalcValue* value = FindVariable(variables, node.text);
  return CalcResult{0, value != nullptr ? *value : CalcValue{}};
}

CalcResult EvaluateLet(Evaluation& evaluation, const CalcNode& node) {
  const std::size_t scope = evaluation.locals.size();
  CalcResult result;
  for (std::size_t i = 0; i < node.names.size(); ++i) {
    result = EvaluateNode(evaluation, node.children[i]);
    if (result.error != 0) break;
    const std::string& name = node.names[i];
    if (name.starts_with("$$")) {
      SetVariable(evaluation.engine.globals, name, std::move(result.value));
    } else if (name.starts_with("$")) {
      SetVariable(*evaluation.context.variables, name, std::move(result.value));
    } else {
      evaluation.locals.emplace_back(name, std::move(result.value));
    }
  }
  if (result.error == 0) result = EvaluateNode(evaluation, node.children.back());
  evaluation.locals.resize(scope);
  return result;
}

CalcResult EvaluateCall(Evaluation& evaluation, const CalcNode& node) {
  if (node.bareName) {
    for (auto local = evaluation.locals.rbegin(); local != evaluation.locals.rend(); ++local) {
      if (EqualsIgnoringAsciiCase(local->first, node.text)) return CalcResult{0, local->second};
    }
  }
  Arguments args;
  args.reserve(node.children.size());
  for (const CalcNode& child : node.children) {
    CalcResult argument = EvaluateNode(evaluation, child);
    if (argument.error != 0) return argument;
    args.push_back(std::move(argument.value));
  }
  const int count = static_cast<int>(args.size());
  if (const BuiltinFunction* builtin = FindBuiltin(node.text)) {
    if (count < builtin->minArguments || count > builtin->maxArguments) {
      return Failure(kCalcErrorArgumentCount);
    }
    const SolutionFile* file = evaluation.contextFile;
    if (builtin->firstArgumentIsFile && !args.empty()) {
      file = evaluation.engine.solution->FindFile(args[0].text);
      if (file == nullptr) return Failure(kCalcErrorFileMissing);
    }
    if (auto overridden = SolutionOverride(file, builtin->name)) return *overridden;
    return builtin->run(evaluation, args, file);
  }
  if (auto overridden = SolutionOverride(evaluation.contextFile, node.text)) return *overridden;
  if (!evaluation.engine.external) return Failure(kCalcErrorUnknownFunction);
  std::optional<CalcResult> external =
      evaluation.engine.external(node.text, args, evaluation.context);
  if (!external) return Failure(kCalcErrorUnknownFunction);
  if (external->error != 0) return Failure(external->error);
  return *external;
}

CalcResult EvaluateConcat(Evaluation& evaluation, const CalcNode& node) {
  std::string text;
  for (const CalcNode& child : node.children) {
    CalcResult part = EvaluateNode(evaluation, child);
    if (part.error != 0) return part;
    if (text.size() + part.value.text.size() > kMaxTextBytes) return Failure(kCalcErrorSyntax);
    text += part.value.text;
  }
  return Text(std::move(text));
}

CalcResult EvaluateNode(Evaluation& evaluation, const CalcNode& node) {
  DepthGuard depth(activeNodes, kMaxActiveNodes);
  if (!depth.ok()) return Failure(kCalcErrorSyntax);
  switch (node.kind) {
  case CalcNode::Kind::kText:
    return Text(node.text);
  case CalcNode::Kind::kNumber:
    return CalcResult{0, {node.text, true}};
  case CalcNode::Kind::kVariable:
    return EvaluateVariable(evaluation, node);
  case CalcNode::Kind::kConcat:
    return EvaluateConcat(evaluation, node);
  case CalcNode::Kind::kCall:
    return EvaluateCall(evaluation, node);
  case CalcNode::Kind::kGet:
    return EvaluateGet(evaluation, node);
  case CalcNode::Kind::kLet:
    return EvaluateLet(evaluation, node);
  }
  return Failure(kCalcErrorSyntax);
}

const SolutionScript* FindScript(const SolutionFile& file, std::string_view name) {
  for (const SolutionScript& script : file.scripts) {
    if (script.name == name) return &script;
  }
  for (const SolutionScript& script : file.scripts) {
    if (EqualsIgnoringAsciiCase(script.name, name)) return &script;
  }
  return nullptr;
}

} // namespace

struct CalcEngine::Impl : EngineState {};

CalcEngine::CalcEngine(std::shared_ptr<Solution> solution, ExternalFunctionLookup external)
    : impl_(std::make_unique<Impl>()) {
  impl_->solution = solution ? std::move(solution) : std::make_shared<Solution>();
  impl_->external = std::move(external);
}

CalcEngine::~CalcEngine() = default;

Solution& CalcEngine::solution() { return *impl_->solution; }

void CalcEngine::ForgetCachedQueries() { impl_->catalogs.clear(); }

// The one wall: nothing an expression, SQLite or an external function throws gets past here.
CalcResult CalcEngine::Evaluate(std::string_view expression, const CalcContext& context) {
  try {
    DepthGuard reentry(activeEvaluations, kMaxReentry);
    if (!reentry.ok()) return Failure(kCalcErrorSyntax);
    const Solution& solution = *impl_->solution;
    const std::string& fileName = context.fileName.empty() ? solution.activeFile : context.fileName;
    const SolutionFile* file = solution.FindFile(fileName);
    if (file == nullptr && !fileName.empty()) return Failure(kCalcErrorFileMissing);
    const CalcParse parse = ParseCalculation(expression);
    if (!parse.ok) return Failure(kCalcErrorSyntax);
    // Without the caller's variables, $variables still work within this one evaluation.
    CalcVariables scratch;
    Evaluation evaluation{*impl_,
                          file,
                          CalcContext{file != nullptr ? file->name : std::string(),
                                      context.variables != nullptr ? context.variables : &scratch},
                          {}};
    return EvaluateNode(evaluation, parse.root);
  } catch (...) {
    return Failure(kCalcErrorSyntax);
  }
}

ScriptRun CalcEngine::RunScript(std::string_view fileName, std::string_view scriptName) {
  ScriptRun run;
  const std::string name(fileName.empty() ? impl_->solution->activeFile : fileName);
  const SolutionFile* file = impl_->solution->FindFile(name);
  if (file == nullptr) {
    run.error = kCalcErrorFileMissing;
    return run;
  }
  const SolutionScript* script = FindScript(*file, scriptName);
  if (script == nullptr) {
    run.error = kCalcErrorScriptMissing;
    return run;
  }
  if (script->startError != 0) {
    run.error = script->startError;
    return run;
  }
  // Copies, since a step's plug-in call may change the solution under us.
  const std::string scriptFile = file->name;
  const std::vector<SolutionScriptStep> steps = script->steps;
  const CalcContext context{scriptFile, &run.variables};
  for (const SolutionScriptStep& step : steps) {
    if (!step.saveCopyAsXml.empty()) {
      const SolutionFile* current = impl_->solution->FindFile(scriptFile);
      std::string path;
      std::string error;
      if (current != nullptr && SaveXmlCopy(*current, path, error)) {
        SetVariable(run.variables, step.saveCopyAsXml, CalcValue{path, false});
      } else {
        run.lastStepError = current != nullptr ? kFileCreateError : kCalcErrorFileMissing;
      }
    } else {
      const CalcResult result = Evaluate(step.evaluate, context);
      if (result.error != 0) run.lastStepError = result.error;
    }
  }
  return run;
}

} // namespace fmhost
