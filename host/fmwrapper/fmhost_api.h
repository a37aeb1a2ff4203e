// The host stand-in as a C++ library: what fmhost is built from, and what tests use to load a
// plug-in, drive it, inject host failures and look at what the plug-in did to the host.
// Everything here runs on one thread, the host's main thread, as in FileMaker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_engine.h"
#include "engine/solution.h"
#include "hostapi/host_call_record.h"

#if defined(_WIN32) && defined(FMWRAPPER_BUILDING)
#define FMHOST_API __declspec(dllexport)
#elif defined(_WIN32)
#define FMHOST_API __declspec(dllimport)
#else
#define FMHOST_API __attribute__((visibility("default")))
#endif

namespace fmhost {

// The interface version fmhost reports unless told otherwise.
inline constexpr int16_t kDefaultInterfaceVersion = 57;
// The locale of the values the host hands to plug-in functions.
inline constexpr const char* kHostLocaleName = "en_US";
// What evaluating in an environment that has no context yet returns (command unavailable).
inline constexpr int16_t kUnboundEnvironmentError = 3;
// What a failed library call returns where it returns an error code (FileMaker's unknown error),
// so that a failure never reads as success.
inline constexpr int16_t kFailedCallErrorCode = -1;
// Units past the capacity that RequestString fills and returns, so that a write past the
// capacity shows.
inline constexpr uint32_t kStringGuardUnits = 8;

// --- The solution -------------------------------------------------------------------------

FMHOST_API void UseSolution(Solution solution);
FMHOST_API Solution& CurrentSolution();
// Makes an open file the active one (the window list is left as it is); false when not open.
FMHOST_API bool SetActiveFile(const std::string& fileName);
// Forgets registrations, injected failures, logs and queued scripts; keeps the solution.
FMHOST_API void ResetHost();

// --- Failure injection --------------------------------------------------------------------

// The next `times` calls of the library call named `call` (e.g. "FM_Text_Assign") report
// HostError code `code` (1 memory exhausted, 2 another failure). False for an unknown call
// name, a code of 0 or a count below 1.
FMHOST_API bool InjectFailure(const std::string& call, int code, int times = 1);
FMHOST_API void ClearInjectedFailures();
FMHOST_API std::vector<std::string> LibraryCalls();

// --- Registered functions -----------------------------------------------------------------

struct RegisteredFunction {
  std::string pluginId; // the four characters of the plug-in ID
  int16_t id = 0;
  std::string name, prototype, description;     // UTF-8
  int16_t minParameters = 0, maxParameters = 0; // a negative maximum means no limit
  uint32_t flags = 0;
};
FMHOST_API std::vector<RegisteredFunction> RegisteredFunctions(); // in registration order
FMHOST_API std::vector<int16_t> UnregisteredIds();                // every unregister call

// --- Evaluation ---------------------------------------------------------------------------

// Evaluates in the active file's context, as the Data Viewer does.
FMHOST_API CalcResult Evaluate(const std::string& expression);

// --- Host objects -------------------------------------------------------------------------

struct LiveObjectCounts {
  std::size_t texts = 0, data = 0, vectors = 0, environments = 0, quadChars = 0;
  std::size_t Total() const { return texts + data + vectors + environments + quadChars; }
};
// Objects made by the library's constructors (or the New* calls below) and not yet deleted.
FMHOST_API std::size_t LiveHostObjects();
FMHOST_API LiveObjectCounts LiveHostObjectCounts();

// Host values for tests of a plug-in's value crossing. Each value carries kHostLocaleName.
FMHOST_API HostDataVect* NewParameters(const std::vector<std::string>& utf8Texts);
FMHOST_API HostDataVect* NewParametersUtf16(const std::vector<std::u16string>& texts);
FMHOST_API void DeleteParameters(HostDataVect* parameters);
FMHOST_API HostData* NewResult();
FMHOST_API std::string ResultText(const HostData* result); // UTF-8, U+FFFD for lone surrogates
FMHOST_API std::u16string ResultUnits(const HostData* result);
FMHOST_API std::string ResultLocale(const HostData* result);
FMHOST_API void DeleteResult(HostData* result);
// An environment bound to a file's context, with variables of its own.
FMHOST_API HostExprEnv* NewEnvironmentFor(const std::string& fileName);
FMHOST_API void DeleteEnvironment(HostExprEnv* environment);

// --- Scripts ------------------------------------------------------------------------------

struct StartedScript {
  std::string file, script;
  uint8_t control = 0;
  std::string parameter; // the parameter's text; empty when none was passed
};
// Every start that succeeded, in order.
FMHOST_API std::vector<StartedScript> StartedScripts();

struct ScriptOutcome {
  StartedScript started;
  ScriptRun run;
};
using ScriptObserver = std::function<void(const ScriptOutcome&)>;
FMHOST_API void SetScriptObserver(ScriptObserver observer);
// Runs the started scripts that wait, as the host does when control returns to it. Scripts
// they start run too, up to a bound, so that a script starting itself cannot hang the host.
// Returns how many ran.
FMHOST_API std::size_t RunStartedScripts();

// --- The plug-in --------------------------------------------------------------------------

// A call record with the host's callbacks in it.
FMHOST_API HostCallRecord MakeCallRecord(uint8_t message,
                                         int16_t interfaceVersion = kDefaultInterfaceVersion,
                                         uint8_t param1 = 0);

class FMHOST_API Plugin {
public:
  // Loads the library and finds FMExternCallProc; null with *error set when either fails.
  static std::unique_ptr<Plugin> Load(const std::string& path, std::string* error);
  // Unloads the library; its registered functions are dropped with it.
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  void Send(HostCallRecord& record); // the raw message
  int64_t Startup(int16_t interfaceVersion = kDefaultInterfaceVersion);
  void Idle(uint8_t level = 0); // then runs the scripts started during the call
  void Shutdown(int16_t interfaceVersion = kDefaultInterfaceVersion);
  // The buffer the plug-in answered in: capacity units followed by kStringGuardUnits, all
  // filled with 0xAAAA before the request.
  std::vector<uint16_t> RequestString(uint8_t id, uint32_t capacity);

private:
  Plugin(void* module, FMExternCallProcType entry);
  void* module_;
  FMExternCallProcType entry_;
  int16_t interfaceVersion_ = kDefaultInterfaceVersion;
};

// --- The fmhost command -------------------------------------------------------------------

struct Console {
  std::function<void(std::string_view)> out;       // standard output, UTF-8
  std::function<void(std::string_view)> err;       // standard error, UTF-8
  std::function<bool(std::string& line)> readLine; // standard input; false at its end
  bool inputIsTerminal = false;
};
// fmhost's whole main, on the process's own streams and arguments.
FMHOST_API int RunCommandLine(int argc, char** argv);
// The same with the arguments (without the program name, UTF-8) and the streams given.
FMHOST_API int RunFmhost(const std::vector<std::string>& arguments, const Console& console);

} // namespace fmhost
