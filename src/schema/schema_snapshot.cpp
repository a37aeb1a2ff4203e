#include "schema/schema_snapshot.h"

#include "core/json.h"
#include "plugin/evaluation.h"
#include "schema/context_report.h"
#include "schema/host_list_lines.h"

namespace {

constexpr std::string_view kCurrentFileExpression = "Get(FileName)";
constexpr std::string_view kAccountExpression = "Get(AccountName)";
// One round trip for every field with its type and class; tables named Sys... are helpers.
constexpr std::string_view kFieldsQueryExpression =
    "ExecuteSQL(\"SELECT TableName, FieldName, FieldType, FieldClass FROM FileMaker_Fields "
    "WHERE TableName NOT LIKE 'Sys%' ORDER BY TableName, FieldName\"; \"||\"; Char(13))";
constexpr std::string_view kColumnSeparator = "||";
constexpr std::string_view kCurrentFileArgument = "Get(FileName)";
constexpr std::string_view kAnyFileCustomFunctionsExpression = "CustomFunctionNames()";
constexpr std::string_view kEmptySnapshot = "{}";

std::vector<SchemaField>& TakeUpTable(SchemaTables& tables, std::string_view name) {
  auto [entry, inserted] = tables.index.try_emplace(std::string(name));
  if (inserted) tables.order.emplace_back(name);
  return entry->second;
}

// The slow route, one FieldNames per table, for hosts whose SQL query fails or for other files.
void ReadTablesByName(SchemaTables& tables, const HostExprEnv* environment,
                      std::string_view fileArgument) {
  const std::string fileArgumentText(fileArgument);
  const std::string tableNames =
      EvaluateToText(environment, "TableNames(" + fileArgumentText + ")");
  for (const std::string_view tableName : HostListLines(tableNames)) {
    // A name listed twice would otherwise be written twice, each time with its fields doubled.
    if (tables.index.contains(tableName)) continue;
    std::vector<SchemaField>& fields = TakeUpTable(tables, tableName);
    const std::string fieldNames = EvaluateToText(
        environment, "FieldNames(" + fileArgumentText + "; " + QuoteCalcText(tableName) + ")");
    for (const std::string_view fieldName : HostListLines(fieldNames)) {
      fields.push_back({std::string(fieldName), {}, {}});
    }
  }
}

void AppendQuotedEscaped(std::string& out, std::string_view text) {
  out += '"';
  AppendJsonEscaped(out, text);
  out += '"';
}

void AppendTables(std::string& out, const SchemaTables& tables) {
  out += '[';
  for (size_t t = 0; t < tables.order.size(); ++t) {
    if (t > 0) out += ',';
    const std::string& tableName = tables.order[t];
    out += "{\"name\":";
    AppendQuotedEscaped(out, tableName);
    out += ",\"fields\":[";
    const std::vector<SchemaField>& fields = tables.index.at(tableName);
    for (size_t f = 0; f < fields.size(); ++f) {
      if (f > 0) out += ',';
      out += "{\"name\":";
      AppendQuotedEscaped(out, fields[f].name);
      out += ",\"type\":";
      AppendQuotedEscaped(out, fields[f].type);
      out += ",\"class\":";
      AppendQuotedEscaped(out, fields[f].fieldClass);
      out += '}';
    }
    out += "]}";
  }
  out += ']';
}

std::string NamesOf(const HostExprEnv* environment, std::string_view function,
                    std::string_view fileArgument) {
  std::string expression(function);
  expression += '(';
  expression += fileArgument;
  expression += ')';
  return EvaluateToText(environment, expression);
}

} // namespace

void AddFieldQueryRows(SchemaTables& tables, std::string_view rows) {
  for (const std::string_view line : HostListLines(rows)) {
    const size_t p1 = line.find(kColumnSeparator);
    if (p1 == std::string_view::npos) continue;
    const size_t p2 = line.find(kColumnSeparator, p1 + kColumnSeparator.size());
    if (p2 == std::string_view::npos) continue;
    const size_t p3 = line.find(kColumnSeparator, p2 + kColumnSeparator.size());
    const size_t fieldStart = p1 + kColumnSeparator.size();
    const size_t typeStart = p2 + kColumnSeparator.size();
    SchemaField field;
    field.name = line.substr(fieldStart, p2 - fieldStart);
    if (p3 == std::string_view::npos) {
      field.type = line.substr(typeStart);
    } else {
      field.type = line.substr(typeStart, p3 - typeStart);
      field.fieldClass = line.substr(p3 + kColumnSeparator.size());
    }
    TakeUpTable(tables, line.substr(0, p1)).push_back(std::move(field));
  }
}

std::string BuildSchemaSnapshot(const HostExprEnv* environment, std::string_view requestedFile) {
  if (environment == nullptr) return std::string(kEmptySnapshot);
  const std::string currentFile = EvaluateToText(environment, kCurrentFileExpression);
  const std::string file = requestedFile.empty() ? currentFile : std::string(requestedFile);
  const std::string account = EvaluateToText(environment, kAccountExpression);
  const std::string quotedFile = QuoteCalcText(file);
  // Byte for byte: a name in another letter case or with its extension is asked about by name.
  const bool currentFileMode = requestedFile.empty() || requestedFile == currentFile;
  const std::string_view fileArgument =
      currentFileMode ? kCurrentFileArgument : std::string_view(quotedFile);

  SchemaTables tables;
  if (currentFileMode)
    AddFieldQueryRows(tables, EvaluateToText(environment, kFieldsQueryExpression));
  if (tables.order.empty()) ReadTablesByName(tables, environment, fileArgument);
  if (tables.order.empty()) return std::string(kEmptySnapshot);

  const std::string scripts = NamesOf(environment, "ScriptNames", fileArgument);
  const std::string layouts = NamesOf(environment, "LayoutNames", fileArgument);
  const std::string valueLists = NamesOf(environment, "ValueListNames", fileArgument);
  const std::string privilegeSets = NamesOf(environment, "PrivilegeSetNames", fileArgument);
  std::string customFunctions = NamesOf(environment, "CustomFunctionNames", quotedFile);
  if (customFunctions.empty() || customFunctions == "?") {
    customFunctions = EvaluateToText(environment, kAnyFileCustomFunctionsExpression);
  }

  std::string json;
  json.reserve(4096);
  json += "{\"file\":";
  AppendQuotedEscaped(json, file);
  json += ",\"account\":";
  AppendQuotedEscaped(json, account);
  json += ",\"tables\":";
  AppendTables(json, tables);
  json += ",\"scripts\":";
  json += ListToJsonArray(scripts);
  json += ",\"layouts\":";
  json += ListToJsonArray(layouts);
  json += ",\"valueLists\":";
  json += ListToJsonArray(valueLists);
  json += ",\"privilegeSets\":";
  json += ListToJsonArray(privilegeSets);
  json += ",\"customFunctions\":";
  json += ListToJsonArray(customFunctions);
  json += '}';
  return json;
}
