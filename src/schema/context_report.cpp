#include "schema/context_report.h"

#include <mutex>

#include "bridge/bridge_state.h"
#include "core/json.h"
#include "plugin/evaluation.h"
#include "plugin/plugin_identity.h"
#include "schema/host_list_lines.h"

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

std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string FileListText(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& name : list) {
    if (!text.empty()) text += '\n';
    text += name;
  }
  return text;
}

std::vector<std::string> OpenFileList(const HostExprEnv* environment) {
  std::vector<std::string> list;
  AddFileNameUnique(list, EvaluateToText(environment, kCurrentFileExpression));
  std::string registeredFile;
  {
    std::lock_guard<std::mutex> lock(stateMutex());
    registeredFile = bridgeState().registeredFileName;
  }
  AddFileNameUnique(list, registeredFile);
  const std::string windows = EvaluateToText(environment, kWindowListExpression);
  for (const std::string_view line : HostListLines(windows)) {
    AddFileNameUnique(list, NormalizeFileName(line));
    AddFileNameUnique(list, line);
  }
  const std::string databases = EvaluateToText(environment, kDatabaseListExpression);
  for (const std::string_view line : HostListLines(databases)) {
    AddFileNameUnique(list, NormalizeFileName(line));
  }
  return list;
}

struct BridgeSnapshot {
  std::string baseUrl;
  std::string registeredFileName;
  std::string schemaTargetFile;
  bool registered = false;
  bool schemaWaiting = false;
};

BridgeSnapshot CopyBridgeFields() {
  std::lock_guard<std::mutex> lock(stateMutex());
  const BridgeState& state = bridgeState();
  return {state.baseUrl, state.registeredFileName, state.schemaTargetFile, state.registered,
          state.schemaWaiting};
}

void AppendStringMember(std::string& out, std::string_view key, std::string_view value) {
  out += '"';
  out += key;
  out += "\":\"";
  AppendJsonEscaped(out, value);
  out += "\",";
}

void AppendRawMember(std::string& out, std::string_view key, std::string_view json) {
  out += '"';
  out += key;
  out += "\":";
  out += json;
  out += ',';
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

std::string ListOpenFiles(const HostExprEnv* environment) {
  return FileListText(OpenFileList(environment));
}

std::string BuildContextDebug(const HostExprEnv* environment, std::string_view target) {
  const std::string currentFile = EvaluateToText(environment, kCurrentFileExpression);
  const std::string windowName = EvaluateToText(environment, kWindowNameExpression);
  const std::string windowList = EvaluateToText(environment, kWindowListExpression);
  const std::string databaseList = EvaluateToText(environment, kDatabaseListExpression);
  const std::string account = EvaluateToText(environment, kAccountExpression);
  const std::string privilegeSet = EvaluateToText(environment, kPrivilegeSetExpression);
  const std::string activeFiles = ListOpenFiles(environment);
  const std::string targetFile = target.empty() ? currentFile : std::string(target);
  const BridgeSnapshot bridge = CopyBridgeFields();

  std::string targetScripts;
  std::string livePushVisible;
  if (!targetFile.empty()) {
    const std::string quotedTarget = QuoteCalcText(NormalizeFileName(targetFile));
    targetScripts = EvaluateToText(environment, "ScriptNames(" + quotedTarget + ")");
    if (targetScripts.empty()) {
      targetScripts = EvaluateToText(environment, kCurrentFileScriptsExpression);
    }
    std::string countExpression(kLivePushCountHead);
    countExpression += quotedTarget;
    countExpression += kLivePushCountTail;
    livePushVisible = EvaluateToText(environment, countExpression);
  }

  std::string json;
  json.reserve(1024);
  json += '{';
  AppendStringMember(json, "pluginVersion", kVersionText);
  AppendRawMember(json, "registered", JsonBool(bridge.registered));
  AppendStringMember(json, "baseUrl", bridge.baseUrl);
  AppendStringMember(json, "registeredFile", bridge.registeredFileName);
  AppendStringMember(json, "pendingTarget", bridge.schemaTargetFile);
  AppendRawMember(json, "pendingSchemaReady", JsonBool(bridge.schemaWaiting));
  AppendStringMember(json, "currentFile", currentFile);
  AppendStringMember(json, "targetFile", targetFile);
  AppendStringMember(json, "windowName", windowName);
  AppendStringMember(json, "account", account);
  AppendStringMember(json, "privilegeSet", privilegeSet);
  AppendRawMember(json, "windowNames", ListToJsonArray(windowList));
  AppendRawMember(json, "databaseNames", ListToJsonArray(databaseList));
  AppendRawMember(json, "activeFiles", ListToJsonArray(activeFiles));
  AppendRawMember(json, "targetScriptNames", ListToJsonArray(targetScripts));
  json += "\"livePushVisible\":\"";
  AppendJsonEscaped(json, livePushVisible);
  json += "\"}";
  return json;
}
