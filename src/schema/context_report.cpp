#include "schema/context_report.h"

#include "core/ascii.h"
#include "core/json.h"
#include "core/list_lines.h"
#include "hostapi/plugin_identity.h"

namespace tideloom {

namespace {

constexpr std::string_view kCurrentFileExpression = "Get(FileName)";
constexpr std::string_view kWindowNameExpression = "Get(WindowName)";
constexpr std::string_view kWindowListExpression = "WindowNames";
constexpr std::string_view kDatabaseListExpression = "DatabaseNames";
constexpr std::string_view kAccountExpression = "Get(AccountName)";
constexpr std::string_view kPrivilegeSetExpression = "Get(PrivilegeSetName)";
constexpr std::string_view kCurrentFileScriptsExpression = "ScriptNames(Get(FileName))";
// Counts whole lines only, so a script merely starting with the name does not count.
constexpr std::string_view kLivePushCountHead = "PatternCount ( Char ( 13 ) & ScriptNames ( ";
constexpr std::string_view kLivePushCountTail =
    " ) & Char ( 13 ) ; Char ( 13 ) & \"TideLoom Live Push\" & Char ( 13 ) )";

constexpr std::string_view kFileNameBlanks = "\r\n \t";
constexpr std::string_view kFileExtension = ".fmp12";
// The host reads a pilcrow inside a literal as a line break unless it is escaped.
constexpr std::string_view kPilcrow = "\xC2\xB6";

std::string FileListText(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& name : list) {
    if (!text.empty()) text += '\n';
    text += name;
  }
  return text;
}

std::vector<std::string> OpenFileList(const Evaluator& evaluate,
                                      std::string_view registeredFileName) {
  std::vector<std::string> list;
  AddFileNameUnique(list, evaluate(kCurrentFileExpression));
  AddFileNameUnique(list, registeredFileName);
  const std::string windows = evaluate(kWindowListExpression);
  for (const std::string_view line : HostListLines(windows)) {
    AddFileNameUnique(list, NormalizeFileName(line));
    AddFileNameUnique(list, line);
  }
  const std::string databases = evaluate(kDatabaseListExpression);
  for (const std::string_view line : HostListLines(databases)) {
    AddFileNameUnique(list, NormalizeFileName(line));
  }
  return list;
}

std::string_view JsonBool(bool value) { return value ? "true" : "false"; }

} // namespace

void AddFileNameUnique(std::vector<std::string>& list, std::string_view name) {
  const size_t last = name.find_last_not_of(kFileNameBlanks);
  if (last == std::string_view::npos) return;
  name = name.substr(0, last + 1);
  name.remove_prefix(name.find_first_not_of(kFileNameBlanks));
  const std::string folded = FoldAsciiCase(name);
  for (const std::string& entry : list) {
    if (FoldAsciiCase(entry) == folded) return;
  }
  list.emplace_back(name);
}

std::string NormalizeFileName(std::string_view name) {
  if (const size_t cut = name.find(" ("); cut != std::string_view::npos) name = name.substr(0, cut);
  if (const size_t cut = name.find(" - "); cut != std::string_view::npos) {
    name = name.substr(0, cut);
  }
  if (name.size() > kFileExtension.size() &&
      FoldAsciiCase(name.substr(name.size() - kFileExtension.size())) == kFileExtension) {
    name.remove_suffix(kFileExtension.size());
  }
  return std::string(name);
}

std::string QuoteCalcText(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 8);
  quoted += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"' || text[i] == '\\') {
      quoted += '\\';
    } else if (text.substr(i, kPilcrow.size()) == kPilcrow) {
      quoted += '\\';
      quoted += kPilcrow;
      ++i;
      continue;
    }
    quoted += text[i];
  }
  quoted += '"';
  return quoted;
}

std::string ListOpenFiles(const Evaluator& evaluate, std::string_view registeredFileName) {
  return FileListText(OpenFileList(evaluate, registeredFileName));
}

std::string BuildContextDebug(const Evaluator& evaluate, std::string_view target,
                              const BridgeReportView& bridge) {
  const std::string currentFile = evaluate(kCurrentFileExpression);
  const std::string windowName = evaluate(kWindowNameExpression);
  const std::string windowList = evaluate(kWindowListExpression);
  const std::string databaseList = evaluate(kDatabaseListExpression);
  const std::string account = evaluate(kAccountExpression);
  const std::string privilegeSet = evaluate(kPrivilegeSetExpression);
  const std::string activeFiles = ListOpenFiles(evaluate, bridge.registeredFileName);
  const std::string targetFile = target.empty() ? currentFile : std::string(target);

  std::string targetScripts;
  std::string livePushVisible;
  if (!targetFile.empty()) {
    const std::string quotedTarget = QuoteCalcText(NormalizeFileName(targetFile));
    targetScripts = evaluate("ScriptNames(" + quotedTarget + ")");
    if (targetScripts.empty()) {
      targetScripts = evaluate(kCurrentFileScriptsExpression);
    }
    std::string countExpression(kLivePushCountHead);
    countExpression += quotedTarget;
    countExpression += kLivePushCountTail;
    livePushVisible = evaluate(countExpression);
  }

  return JsonObjectWriter(1024)
      .String("pluginVersion", kVersionText)
      .Raw("registered", JsonBool(bridge.registered))
      .String("baseUrl", bridge.baseUrl)
      .String("registeredFile", bridge.registeredFileName)
      .String("pendingTarget", bridge.schemaTargetFile)
      .Raw("pendingSchemaReady", JsonBool(bridge.schemaWaiting))
      .String("currentFile", currentFile)
      .String("targetFile", targetFile)
      .String("windowName", windowName)
      .String("account", account)
      .String("privilegeSet", privilegeSet)
      .Raw("windowNames", ListToJsonArray(windowList))
      .Raw("databaseNames", ListToJsonArray(databaseList))
      .Raw("activeFiles", ListToJsonArray(activeFiles))
      .Raw("targetScriptNames", ListToJsonArray(targetScripts))
      .String("livePushVisible", livePushVisible)
      .Finish();
}

} // namespace tideloom
