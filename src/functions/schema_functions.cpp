#include "functions/schema_functions.h"

#include "schema/context_report.h"
#include "schema/schema_snapshot.h"

// A missing parameter reads as empty text: both functions then speak of the current file.
std::string GetSchemaFunction(const CalculationCall& call) {
  return BuildSchemaSnapshot(call.environment, Parameter(call, 0));
}

std::string ListFilesFunction(const CalculationCall& call) {
  return ListOpenFiles(call.environment);
}

std::string DebugContextFunction(const CalculationCall& call) {
  return BuildContextDebug(call.environment, Parameter(call, 0));
}
