// fmhost's scenarios: one action a line, read before anything runs so that a typo is reported
// before the plug-in is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fmhost {

enum class ActionKind { eval, idle, level, activate, startup, shutdown, sleep };

struct Action {
  ActionKind kind = ActionKind::eval;
  std::string text;    // eval: the expression; activate: the file name
  uint32_t number = 0; // idle, sleep: milliseconds; level: the idle level
};

enum class LineKind { blank, action, error };

// Reads one line; on an error, *error says what is wrong with it.
LineKind ParseScenarioLine(const std::string& line, Action* action, std::string* error);

// Reads a whole scenario; on an error, *error names the line ("line 3: ...").
bool ParseScenario(const std::string& text, std::vector<Action>* actions, std::string* error);

// A decimal number of at most `limit`, nothing else.
bool ParseNumber(const std::string& text, uint32_t limit, uint32_t* value);

} // namespace fmhost
