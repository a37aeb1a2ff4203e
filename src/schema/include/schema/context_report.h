// What the plug-in can see from a calculation context: the visible file names and a JSON report
// of the context and the bridge, for solutions and for the bridge's LIST_FILES and DEBUG_CONTEXT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hostapi/evaluation.h"

namespace tideloom {

// Appends `name`, trimmed of CR, LF, blanks and tabs, unless it is empty or already listed
// (ASCII letters compared without regard to case; the first spelling met is kept).
void AddFileNameUnique(std::vector<std::string>& list, std::string_view name);

// A window title or database entry reduced to the file's name: cut before the first " (", then
// before the first " - ", then drop a ".fmp12" ending in any letter case.
std::string NormalizeFileName(std::string_view name);

// `text` as a literal of the host's calculation language, so that any name stays one value.
std::string QuoteCalcText(std::string_view text);

// What the report tells of the bridge, taken by the bridge in one piece.
struct BridgeReportView {
  std::string baseUrl;
  std::string registeredFileName;
  std::string schemaTargetFile;
  bool registered = false;
  bool schemaWaiting = false;
};

// The file names visible to `evaluate`'s context and the registered file, one per line (LF,
// none after the last).
std::string ListOpenFiles(const Evaluator& evaluate, std::string_view registeredFileName);

// The context report as JSON; an empty `target` stands for the current file.
std::string BuildContextDebug(const Evaluator& evaluate, std::string_view target,
                              const BridgeReportView& bridge);

} // namespace tideloom
