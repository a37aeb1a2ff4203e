#include "functions/schema_functions.h"

#include "bridge/bridge_state.h"
#include "schema/context_report.h"
#include "schema/schema_snapshot.h"

namespace tideloom {

// A missing parameter reads as empty text: both functions then speak of the current file.
std::string GetSchemaFunction(const CalculationCall& call) {
  return BuildSchemaSnapshot(call.evaluate, Parameter(call, 0));
}

std::string ListFilesFunction(const CalculationCall& call) {
  return ListOpenFiles(call.evaluate, bridgeState().RegisteredFileName());
}

std::string DebugContextFunction(const CalculationCall& call) {
  return BuildContextDebug(call.evaluate, Parameter(call, 0), bridgeState().ReportView());
}

} // namespace tideloom
