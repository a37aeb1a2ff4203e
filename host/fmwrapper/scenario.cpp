#include "scenario.h"

#include <utility>

namespace fmhost {
namespace {

constexpr uint32_t kLongestWaitMs = 24u * 60 * 60 * 1000;
constexpr uint32_t kHighestIdleLevel = 255;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin]))
    ++begin;
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

// A comment starts at a '#' that follows a blank and stands outside a text literal, so that
// "a#b" in a literal and a field named Item# stay part of the expression.
std::string WithoutComment(const std::string& line) {
  bool inLiteral = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inLiteral && c == '\\' && i + 1 < line.size()) {
      ++i;
    } else if (c == '"') {
      inLiteral = !inLiteral;
    } else if (c == '#' && !inLiteral && (i == 0 || IsBlank(line[i - 1]))) {
      return line.substr(0, i);
    }
  }
  return line;
}

} // namespace

bool ParseNumber(const std::string& text, uint32_t limit, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
  }
  if (number > limit) return false;
  *value = static_cast<uint32_t>(number);
  return true;
}

LineKind ParseScenarioLine(const std::string& line, Action* action, std::string* error) {
  const std::string content = Trimmed(WithoutComment(line));
  if (content.empty()) return LineKind::blank;
  std::size_t split = 0;
  while (split < content.size() && !IsBlank(content[split]))
    ++split;
  const std::string word = content.substr(0, split);
  const std::string rest = Trimmed(content.substr(split));

  const auto fail = [&](std::string message) {
    *error = std::move(message);
    return LineKind::error;
  };
  const auto withText = [&](ActionKind kind, const char* what) {
    if (rest.empty()) return fail("\"" + word + "\" needs " + what);
    *action = Action{kind, rest, 0};
    return LineKind::action;
  };
  const auto withNumber = [&](ActionKind kind, uint32_t limit, const char* what) {
    uint32_t number = 0;
    if (!ParseNumber(rest, limit, &number)) {
      return fail("\"" + word + "\" needs " + what + " from 0 to " + std::to_string(limit) +
                  ", not \"" + rest + "\"");
    }
    *action = Action{kind, "", number};
    return LineKind::action;
  };
  const auto alone = [&](ActionKind kind) {
    if (!rest.empty()) return fail("\"" + word + "\" takes nothing after it");
    *action = Action{kind, "", 0};
    return LineKind::action;
  };

  if (word == "eval") return withText(ActionKind::eval, "an expression");
  if (word == "activate") return withText(ActionKind::activate, "a file name");
  if (word == "idle") return withNumber(ActionKind::idle, kLongestWaitMs, "milliseconds");
  if (word == "sleep") return withNumber(ActionKind::sleep, kLongestWaitMs, "milliseconds");
  if (word == "level") return withNumber(ActionKind::level, kHighestIdleLevel, "an idle level");
  if (word == "startup") return alone(ActionKind::startup);
  if (word == "shutdown") return alone(ActionKind::shutdown);
  return fail("unknown action \"" + word +
              "\" (expected eval, idle, level, activate, startup, shutdown or sleep)");
}

bool ParseScenario(const std::string& text, std::vector<Action>* actions, std::string* error) {
  std::size_t start = 0;
  for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    Action action;
    std::string reason;
    switch (ParseScenarioLine(text.substr(start, end - start), &action, &reason)) {
    case LineKind::blank:
      break;
    case LineKind::action:
      actions->push_back(std::move(action));
      break;
    case LineKind::error:
      *error = "line " + std::to_string(lineNumber) + ": " + reason;
      return false;
    }
    start = end + 1;
  }
  return true;
}

} // namespace fmhost
