#include "schema/schema_snapshot.h"

#include "core/json.h"
#include "core/list_lines.h"
#include "hostapi/evaluation.h"
#include "schema/context_report.h"

namespace tideloom {

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
void ReadTablesByName(SchemaTables& tables, const Evaluator& evaluate,
                      std::string_view fileArgument) {
  const std::string fileArgumentText(fileArgument);
  const std::string tableNames = evaluate("TableNames(" + fileArgumentText + ")");
  for (const std::string_view tableName : HostListLines(tableNames)) {
    // A name listed twice would otherwise be written twice, each time with its fields doubled.
    if (tables.index.contains(tableName)) continue;
    std::vector<SchemaField>& fields = TakeUpTable(tables, tableName);
    const std::string fieldNames =
        evaluate("FieldNames(" + fileArgumentText + "; " + QuoteCalcText(tableName) + ")");
    for (const std::string_view fieldName : HostListLines(fieldNames)) {
      fields.push_back({std::string(fieldName), {}, {}});
    }
  }
}

std::string TablesJson(const SchemaTables& tables) {
  std::string out = "[";
  for (const std::string& tableName : tables.order) {
    if (out.size() > 1) out += ',';
    std::string fields = "[";
    for (const SchemaField& field : tables.index.at(tableName)) {
      if (fields.size() > 1) fields += ',';
      fields += JsonObjectWriter()
                    .String("name", field.name)
                    .String("type", field.type)
                    .String("class", field.fieldClass)
                    .Finish();
    }
    fields += ']';
    out += JsonObjectWriter(fields.size()).String("name", tableName).Raw("fields", fields).Finish();
  }
  out += ']';
  return out;
}

std::string NamesOf(const Evaluator& evaluate, std::string_view function,
                    std::string_view fileArgument) {
  std::string expression(function);
  expression += '(';
  expression += fileArgument;
  expression += ')';
  return evaluate(expression);
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

std::string BuildSchemaSnapshot(const Evaluator& evaluate, std::string_view requestedFile) {
  const std::string currentFile = evaluate(kCurrentFileExpression);
  const std::string file = requestedFile.empty() ? currentFile : std::string(requestedFile);
  const std::string account = evaluate(kAccountExpression);
  const std::string quotedFile = QuoteCalcText(file);
  // Byte for byte: a name in another letter case or with its extension is asked about by name.
  const bool currentFileMode = requestedFile.empty() || requestedFile == currentFile;
  const std::string_view fileArgument =
      currentFileMode ? kCurrentFileArgument : std::string_view(quotedFile);

  SchemaTables tables;
  if (currentFileMode) AddFieldQueryRows(tables, evaluate(kFieldsQueryExpression));
  if (tables.order.empty()) ReadTablesByName(tables, evaluate, fileArgument);
  if (tables.order.empty()) return std::string(kEmptySnapshot);

  const std::string scripts = NamesOf(evaluate, "ScriptNames", fileArgument);
  const std::string layouts = NamesOf(evaluate, "LayoutNames", fileArgument);
  const std::string valueLists = NamesOf(evaluate, "ValueListNames", fileArgument);
  const std::string privilegeSets = NamesOf(evaluate, "PrivilegeSetNames", fileArgument);
  std::string customFunctions = NamesOf(evaluate, "CustomFunctionNames", quotedFile);
  if (customFunctions.empty() || customFunctions == "?") {
    customFunctions = evaluate(kAnyFileCustomFunctionsExpression);
  }

  return JsonObjectWriter(4096)
      .String("file", file)
      .String("account", account)
      .Raw("tables", TablesJson(tables))
      .Raw("scripts", ListToJsonArray(scripts))
      .Raw("layouts", ListToJsonArray(layouts))
      .Raw("valueLists", ListToJsonArray(valueLists))
      .Raw("privilegeSets", ListToJsonArray(privilegeSets))
      .Raw("customFunctions", ListToJsonArray(customFunctions))
      .Finish();
}

} // namespace tideloom
