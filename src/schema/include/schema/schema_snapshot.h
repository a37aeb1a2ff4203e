// A JSON snapshot of an open file's schema, learnt by evaluating calculation expressions in the
// host: tables with their fields, and the names of scripts, layouts, value lists, privilege sets
// and custom functions.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "hostapi/evaluation.h"

namespace tideloom {

struct SchemaField {
  std::string name;
  std::string type;       // as the host reports it, or empty
  std::string fieldClass; // as the host reports it, or empty
};

// The index serves lookups; `order` alone decides the order of the output.
struct SchemaTables {
  std::map<std::string, std::vector<SchemaField>, std::less<>> index;
  std::vector<std::string> order;
};

// Adds the rows of "table||field||type||class" that the fields query answers, in row order; a
// row with fewer than two separators is no field, and a missing class reads as empty.
void AddFieldQueryRows(SchemaTables& tables, std::string_view rows);

// `requestedFile` empty (or the current file's exact name) describes the file the calculation
// runs in. Gives "{}" when no table can be learnt.
std::string BuildSchemaSnapshot(const Evaluator& evaluate, std::string_view requestedFile);

} // namespace tideloom
