// fmhost: loads a plug-in as FileMaker does and drives it from the command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include "console.h"
#include "host_call_rules.h"
#include "host_state.h"
#include "json_output.h"
#include "scenario.h"
#include "utf_text.h"

namespace fmhost {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitPluginFailed = 1; // not loaded, or it declined to start
constexpr int kExitUsage = 2;

constexpr uint32_t kIdleIntervalMs = 50;
constexpr uint32_t kDescribeCapacity = 1024;
constexpr int kDescribedStrings[] = {128, 129, 130, 131, 132};

constexpr const char* kUsage =
    "Usage: fmhost --plugin PATH [--solution FILE] [--api N] [--json] [--describe]\n"
    "              [--fail CALL:CODE[:N]]... [--eval EXPR]... [--run SCENARIO] [--idle-times]\n"
    "\n"
    "Loads a FileMaker plug-in the way FileMaker does and drives it: start-up, idle calls,\n"
    "calculations that call its functions, scripts it starts, shutdown.\n"
    "\n"
    "  --plugin PATH        the plug-in library (.fmx64 / .so) to load\n"
    "  --solution FILE      the open files, their schema and scripts, as JSON\n"
    "                       (without it no file is open)\n"
    "  --api N              the plug-in interface version the host reports (default 57)\n"
    "  --json               one JSON object a line: {\"expr\":...,\"result\":...} or\n"
    "                       {\"expr\":...,\"error\":N}\n"
    "  --describe           print the start-up result, the plug-in's strings 128-132 and the\n"
    "                       functions it registered, as one JSON object\n"
    "  --fail CALL:CODE[:N] make the library call CALL (e.g. FM_Text_Assign) report the error\n"
    "                       CODE (1 memory, 2 other) on its next N calls (default 1)\n"
    "  --eval EXPR          evaluate EXPR in the active file (may be repeated)\n"
    "  --run SCENARIO       run the actions of a scenario file (\"-\": standard input)\n"
    "  --idle-times         print how long each idle call took, in microseconds, on standard\n"
    "                       error (\"fmhost: idle call took N us\")\n"
    "  --help               show this text\n"
    "\n"
    "Scenario actions, one a line (# starts a comment):\n"
    "  eval EXPR      evaluate EXPR in the active file\n"
    "  idle MS        idle calls every 50 ms for MS milliseconds; started scripts run after\n"
    "                 each call\n"
    "  level N        the idle level of later idle calls (0 user idle ... 4 unsafe)\n"
    "  activate FILE  make another open file the active one\n"
    "  startup        send start-up (message 0); shutdown: send shutdown (message 4)\n"
    "  sleep MS       wait without idle calls\n"
    "\n"
    "Start-up is sent before the first action unless the scenario sends it, and shutdown after\n"
    "the last if the plug-in is still started. Without --json, results are printed as text\n"
    "(carriage returns as line breaks) and errors as \"? (error N)\". With no action given and\n"
    "a terminal on standard input, fmhost prompts for actions; a line that is no action is\n"
    "evaluated.\n"
    "\n"
    "fmhost stops the plug-in, with a message on standard error, when it calls the host\n"
    "(any FM_* call) on another thread than the one that loaded it, after shutdown, or with\n"
    "an object the host did not make; and it reports host objects left undeleted at the end.\n"
    "\n"
    "Exit status: 0; 1 when the plug-in could not be loaded or declined to start; 2 for a\n"
    "usage error or an unreadable solution or scenario; 3 when the plug-in broke one of the\n"
    "host's rules above or left host objects undeleted.\n";

struct Failure {
  std::string call;
  int code = 0;
  int times = 1;
};

struct Options {
  std::string plugin, solution, scenario;
  int16_t api = kDefaultInterfaceVersion;
  bool json = false, describe = false, help = false, idleTimes = false;
  std::vector<Failure> failures;
  std::vector<std::string> evaluations;
};

bool ParseSigned(const std::string& text, long long low, long long high, long long* value) {
  const bool negative = !text.empty() && text[0] == '-';
  uint32_t magnitude = 0;
  if (!ParseNumber(negative ? text.substr(1) : text, std::numeric_limits<uint32_t>::max(),
                   &magnitude)) {
    return false;
  }
  const long long number = negative ? -static_cast<long long>(magnitude) : magnitude;
  if (number < low || number > high) return false;
  *value = number;
  return true;
}

bool ParseFailure(const std::string& text, Failure* failure, std::string* error) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  long long code = 0, times = 1;
  failure->call = text.substr(0, first);
  const bool valid =
      first != std::string::npos &&
      ParseSigned(text.substr(first + 1, second == std::string::npos ? second : second - first - 1),
                  std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                  &code) &&
      code != 0 &&
      (second == std::string::npos ||
       ParseSigned(text.substr(second + 1), 1, std::numeric_limits<int32_t>::max(), &times));
  if (!valid) {
    *error =
        "--fail needs CALL:CODE[:N] with a non-zero CODE and N of 1 or more, not \"" + text + "\"";
    return false;
  }
  const std::vector<std::string> calls = LibraryCalls();
  if (std::find(calls.begin(), calls.end(), failure->call) == calls.end()) {
    *error = "--fail: \"" + failure->call + "\" is no library call (for example FM_Text_Assign)";
    return false;
  }
  failure->code = static_cast<int>(code);
  failure->times = static_cast<int>(times);
  return true;
}

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i], value;
    bool hasValue = false;
    if (const std::size_t equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    const auto takeValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= arguments.size()) {
        *error = name + " needs a value";
        return false;
      }
      value = arguments[++i];
      return true;
    };
    const auto flag = [&](bool* target) {
      if (hasValue) {
        *error = name + " takes no value";
        return false;
      }
      *target = true;
      return true;
    };

    if (name == "--help" || name == "-h") {
      if (!flag(&options->help)) return false;
    } else if (name == "--json") {
      if (!flag(&options->json)) return false;
    } else if (name == "--describe") {
      if (!flag(&options->describe)) return false;
    } else if (name == "--idle-times") {
      if (!flag(&options->idleTimes)) return false;
    } else if (name == "--plugin") {
      if (!takeValue()) return false;
      options->plugin = value;
    } else if (name == "--solution") {
      if (!takeValue()) return false;
      options->solution = value;
    } else if (name == "--run") {
      if (!takeValue()) return false;
      options->scenario = value;
    } else if (name == "--eval") {
      if (!takeValue()) return false;
      options->evaluations.push_back(value);
    } else if (name == "--api") {
      long long api = 0;
      if (!takeValue()) return false;
      if (!ParseSigned(value, std::numeric_limits<int16_t>::min(),
                       std::numeric_limits<int16_t>::max(), &api)) {
        *error = "--api needs a 16-bit number, not \"" + value + "\"";
        return false;
      }
      options->api = static_cast<int16_t>(api);
    } else if (name == "--fail") {
      Failure failure;
      if (!takeValue() || !ParseFailure(value, &failure, error)) return false;
      options->failures.push_back(failure);
    } else {
      *error = "unknown option \"" + arguments[i] + "\"";
      return false;
    }
  }
  if (!options->help && options->plugin.empty()) {
    *error = "--plugin PATH is required";
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  std::ifstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  *content = buffer.str();
  return !file.bad();
}

std::string UnitsUpToZero(const std::vector<uint16_t>& buffer, std::size_t capacity) {
  std::u16string units;
  for (std::size_t i = 0; i < capacity && i < buffer.size() && buffer[i] != 0; ++i) {
    units += static_cast<char16_t>(buffer[i]);
  }
  return Utf16ToUtf8(units);
}

// One run of fmhost against a loaded plug-in.
class Session {
public:
  Session(Plugin& plugin, const Options& options, const Console& console)
      : plugin_(plugin), options_(options), console_(console), describePending_(options.describe) {}

  void Run(const Action& action) {
    switch (action.kind) {
    case ActionKind::startup:
      Startup();
      break;
    case ActionKind::shutdown:
      Shutdown();
      break;
    case ActionKind::eval:
      EvaluateAndPrint(action.text);
      break;
    case ActionKind::idle:
      IdleFor(action.number);
      break;
    case ActionKind::level:
      level_ = static_cast<uint8_t>(action.number);
      break;
    case ActionKind::activate:
      if (!SetActiveFile(action.text)) Error("no open file is named \"" + action.text + "\"");
      break;
    case ActionKind::sleep:
      std::this_thread::sleep_for(std::chrono::milliseconds(action.number));
      break;
    }
  }

  void Finish() {
    if (started_) Shutdown();
    if (describePending_) Describe(std::nullopt); // never started: say so
  }

  bool declined() const { return declined_; }

  void Error(const std::string& message) {
    console_.err("fmhost: " + SanitizeUtf8(message) + "\n");
  }

  void ReportScript(const ScriptOutcome& outcome) {
    std::string line =
        "script \"" + outcome.started.script + "\" in \"" + outcome.started.file + "\"";
    if (outcome.run.error != 0) {
      line += " did not run (error " + std::to_string(outcome.run.error) + ")";
    } else if (outcome.run.lastStepError != 0) {
      line += " ran; a step failed (error " + std::to_string(outcome.run.lastStepError) + ")";
    } else {
      line += " ran";
    }
    Error(line);
  }

private:
  void Startup() {
    const int64_t result = plugin_.Startup(options_.api);
    started_ = true;
    if (result <= 0) {
      declined_ = true;
      Error("the plug-in declined to start (start-up result " + std::to_string(result) + ")");
    }
    if (describePending_) Describe(result);
  }

  void Shutdown() {
    plugin_.Shutdown(options_.api);
    started_ = false;
  }

  void Describe(std::optional<int64_t> startupResult) {
    describePending_ = false;
    PluginDescription description;
    description.startupResult = startupResult;
    for (const int id : kDescribedStrings) {
      const std::vector<uint16_t> buffer =
          plugin_.RequestString(static_cast<uint8_t>(id), kDescribeCapacity);
      description.strings.emplace_back(id, UnitsUpToZero(buffer, kDescribeCapacity));
    }
    description.functions = RegisteredFunctions();
    console_.out(DescriptionJson(description) + "\n");
  }

  void EvaluateAndPrint(const std::string& expression) {
    const CalcResult result = Evaluate(expression);
    if (options_.json) {
      console_.out(EvaluationJson(expression, result) + "\n");
    } else if (result.error != 0) {
      console_.out("? (error " + std::to_string(result.error) + ")\n");
    } else {
      std::string text = SanitizeUtf8(result.value.text);
      for (char& c : text) {
        if (c == '\r') c = '\n';
      }
      console_.out(text + "\n");
    }
    // Scripts the calculation started run once it is over, as when FileMaker's event loop
    // gets control back.
    RunStartedScripts();
  }

  void IdleFor(uint32_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(milliseconds);
    for (Clock::time_point next = start;; next += std::chrono::milliseconds(kIdleIntervalMs)) {
      const Clock::time_point before = Clock::now();
      plugin_.Idle(level_);
      // FileMaker stalls while an idle call runs; this is how long a user would have waited.
      if (options_.idleTimes) {
        const auto took =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - before);
        Error("idle call took " + std::to_string(took.count()) + " us");
      }
      if (next + std::chrono::milliseconds(kIdleIntervalMs) >= end) break;
      std::this_thread::sleep_until(next + std::chrono::milliseconds(kIdleIntervalMs));
    }
  }

  Plugin& plugin_;
  const Options& options_;
  const Console& console_;
  bool describePending_;
  bool started_ = false;
  bool declined_ = false;
  uint8_t level_ = 0;
};

bool HasAction(const std::vector<Action>& actions, ActionKind kind) {
  return std::any_of(actions.begin(), actions.end(),
                     [&](const Action& action) { return action.kind == kind; });
}

void Interact(Session& session, const Console& console) {
  std::string line;
  for (;;) {
    console.out("fmhost> ");
    if (!console.readLine(line)) break;
    if (line == "quit" || line == "exit") break;
    Action action;
    std::string reason;
    switch (ParseScenarioLine(line, &action, &reason)) {
    case LineKind::blank:
      break;
    case LineKind::action:
      session.Run(action);
      break;
    case LineKind::error:
      session.Run(Action{ActionKind::eval, line, 0});
      break;
    }
  }
  console.out("\n");
}

// Host objects still alive after shutdown are objects the plug-in leaked; false when so.
bool ReportLeftObjects(const Console& console) {
  const LiveObjectCounts left = LiveHostObjectCounts();
  if (left.Total() == 0) return true;
  console.err("fmhost: the plug-in left host objects undeleted: " + std::to_string(left.texts) +
              " texts, " + std::to_string(left.data) + " data values, " +
              std::to_string(left.vectors) + " parameter vectors, " +
              std::to_string(left.environments) + " environments, " +
              std::to_string(left.quadChars) + " plug-in IDs\n");
  return false;
}

} // namespace

int RunFmhost(const std::vector<std::string>& arguments, const Console& console) {
  const auto fail = [&](int code, const std::string& message) {
    console.err("fmhost: " + SanitizeUtf8(message) + "\n");
    if (code == kExitUsage) console.err("Try 'fmhost --help'.\n");
    return code;
  };

  Options options;
  std::string error;
  if (!ParseOptions(arguments, &options, &error)) return fail(kExitUsage, error);
  if (options.help) {
    console.out(kUsage);
    return kExitSuccess;
  }

  ResetHost();
  try {
    UseSolution(options.solution.empty() ? Solution{} : LoadSolutionFile(options.solution));
  } catch (const std::exception& problem) {
    return fail(kExitUsage,
                "cannot use the solution \"" + options.solution + "\": " + problem.what());
  }

  std::vector<Action> actions;
  for (const std::string& expression : options.evaluations) {
    actions.push_back(Action{ActionKind::eval, expression, 0});
  }
  if (!options.scenario.empty()) {
    std::string text;
    const bool fromInput = options.scenario == "-";
    if (fromInput) {
      for (std::string line; console.readLine(line);)
        text += line + "\n";
    } else if (!ReadWholeFile(options.scenario, &text)) {
      return fail(kExitUsage, "cannot read the scenario \"" + options.scenario + "\"");
    }
    std::vector<Action> scenario;
    if (!ParseScenario(text, &scenario, &error)) {
      return fail(kExitUsage, "scenario \"" + options.scenario + "\", " + error);
    }
    for (const Action& action : scenario) {
      if (action.kind == ActionKind::activate &&
          CurrentSolution().FindFile(action.text) == nullptr) {
        return fail(kExitUsage, "scenario \"" + options.scenario + "\": no open file is named \"" +
                                    action.text + "\"");
      }
    }
    actions.insert(actions.end(), scenario.begin(), scenario.end());
  }
  if (!HasAction(actions, ActionKind::startup)) {
    actions.insert(actions.begin(), Action{ActionKind::startup, "", 0});
  }
  const bool interactive = options.evaluations.empty() && options.scenario.empty() &&
                           !options.describe && console.inputIsTerminal;

  std::unique_ptr<Plugin> plugin = Plugin::Load(options.plugin, &error);
  if (!plugin) {
    return fail(kExitPluginFailed, "cannot load the plug-in \"" + options.plugin + "\": " + error);
  }
  for (const Failure& failure : options.failures) {
    InjectFailure(failure.call, failure.code, failure.times);
  }

  Session session(*plugin, options, console);
  SetScriptObserver([&](const ScriptOutcome& outcome) { session.ReportScript(outcome); });
  for (const Action& action : actions)
    session.Run(action);
  if (interactive) Interact(session, console);
  session.Finish();
  SetScriptObserver(nullptr);
  const bool nothingLeft = ReportLeftObjects(console);
  plugin.reset();
  if (!nothingLeft) return kExitPluginFault;
  return session.declined() ? kExitPluginFailed : kExitSuccess;
}

int RunCommandLine(int argc, char** argv) {
  UseBinaryStandardStreams();
  const auto write = [](std::FILE* stream) {
    return [stream](std::string_view text) {
      std::fwrite(text.data(), 1, text.size(), stream);
      std::fflush(stream);
    };
  };
  Console console;
  console.out = write(stdout);
  console.err = write(stderr);
  console.readLine = [](std::string& line) {
    line.clear();
    for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
      if (c == '\n') return true;
      line += static_cast<char>(c);
    }
    return !line.empty();
  };
  console.inputIsTerminal = StandardInputIsTerminal();
  try {
    return RunFmhost(ProcessArguments(argc, argv), console);
  } catch (const std::exception& problem) {
    console.err(std::string("fmhost: ") + problem.what() + "\n");
    return kExitUsage;
  }
}

} // namespace fmhost
