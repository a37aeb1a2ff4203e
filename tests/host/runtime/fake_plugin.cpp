// A small plug-in that exercises the host the way a real one does, so that the host stand-in is
// tested without TideLoom itself. Its functions report what they saw as their text results.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/host_call_record.h"

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct SeenRecord {
  int16_t interfaceVersion = 0;
  uint8_t message = 0;
  uint8_t param1 = 0;
  uint64_t bufferCapacity = 0;
  uint64_t result = 0;
  HostStartScriptCallback startScript = nullptr;
  HostCurrentEnvironmentCallback currentEnvironment = nullptr;
};

SeenRecord lastRecord;
std::string idleAction;
std::vector<std::string> eventLog;

HostError Fresh() { return HostError{1, 0}; }

std::string Utf8(const HostText* text) {
  HostError error = Fresh();
  const uint32_t size = FM_Text_GetSize(text, &error);
  if (error.code != 0 || size == 0) return "";
  std::string bytes(4 * std::size_t{size} + 1, '\0');
  FM_Text_GetBytes(text, bytes.data(), static_cast<uint32_t>(bytes.size()), 0, size, 1, &error);
  return error.code != 0 ? "" : std::string(bytes.c_str());
}

std::u16string Units(const HostText* text) {
  HostError error = Fresh();
  const uint32_t size = FM_Text_GetSize(text, &error);
  std::u16string units(size, u'\0');
  if (size > 0)
    FM_Text_GetUnicode(text, reinterpret_cast<uint16_t*>(units.data()), 0, size, &error);
  return units;
}

const HostText* ParameterText(const HostDataVect* parameters, uint32_t index) {
  HostError error = Fresh();
  if (index >= FM_DataVect_Size(parameters, &error)) return nullptr;
  const HostData* value = FM_DataVect_At(parameters, index, &error);
  return error.code == 0 ? FM_Data_GetAsText(value, &error) : nullptr;
}

std::string Parameter(const HostDataVect* parameters, uint32_t index) {
  const HostText* text = ParameterText(parameters, index);
  return text != nullptr ? Utf8(text) : "";
}

// A host text holding UTF-8; deleted by the guard's end.
struct OwnedText {
  explicit OwnedText(const std::string& utf8) {
    HostError error = Fresh();
    text = FM_Text_Constructor1(&error);
    error = Fresh();
    FM_Text_Assign(text, utf8.c_str(), 1, &error);
  }
  ~OwnedText() {
    HostError error = Fresh();
    FM_Text_Delete(text, &error);
  }
  OwnedText(const OwnedText&) = delete;
  OwnedText& operator=(const OwnedText&) = delete;
  HostText* text = nullptr;
};

void SetResult(HostData* result, const std::string& utf8) {
  OwnedText text(utf8);
  HostError error = Fresh();
  const HostLocale* locale = FM_Data_GetLocale(result, &error);
  error = Fresh();
  FM_Data_SetAsText(result, text.text, locale, 1, &error);
}

// Evaluates in an environment; "error N" for an evaluation error.
std::string EvaluateIn(const HostExprEnv* environment, const std::string& expression) {
  OwnedText text(expression);
  HostError error = Fresh();
  HostData* value = FM_Data_Constructor1(&error);
  error = Fresh();
  const int16_t code = FM_ExprEnv_Evaluate(environment, text.text, value, &error);
  error = Fresh();
  const std::string answer =
      code != 0 ? "error " + std::to_string(code) : Utf8(FM_Data_GetAsText(value, &error));
  error = Fresh();
  FM_Data_Delete(value, &error);
  return answer;
}

int16_t StartScript(const std::string& file, const std::string& script) {
  if (lastRecord.startScript == nullptr) return -100;
  OwnedText fileText(file);
  OwnedText scriptText(script);
  return lastRecord.startScript(file.empty() ? nullptr : fileText.text, scriptText.text, 2,
                                nullptr);
}

int16_t Echo(int16_t, const HostExprEnv*, const HostDataVect* parameters, HostData* result) {
  HostError error = Fresh();
  const uint32_t count = FM_DataVect_Size(parameters, &error);
  std::string joined;
  for (uint32_t i = 0; i < count; ++i)
    joined += (i > 0 ? "|" : "") + Parameter(parameters, i);
  SetResult(result, joined);
  return 0;
}

int16_t Eval(int16_t, const HostExprEnv* environment, const HostDataVect* parameters,
             HostData* result) {
  SetResult(result, EvaluateIn(environment, Parameter(parameters, 0)));
  return 0;
}

int16_t StartScriptFunction(int16_t, const HostExprEnv*, const HostDataVect* parameters,
                            HostData* result) {
  HostError error = Fresh();
  const bool withFile = FM_DataVect_Size(parameters, &error) == 2;
  const int16_t code = withFile ? StartScript(Parameter(parameters, 0), Parameter(parameters, 1))
                                : StartScript("", Parameter(parameters, 0));
  SetResult(result, std::to_string(code));
  return 0;
}

int16_t UnitsFunction(int16_t, const HostExprEnv*, const HostDataVect* parameters,
                      HostData* result) {
  std::string hex;
  for (const char16_t unit : Units(ParameterText(parameters, 0))) {
    char four[8];
    std::snprintf(four, sizeof four, "%04X", static_cast<unsigned>(unit));
    hex += (hex.empty() ? "" : " ") + std::string(four);
  }
  SetResult(result, hex);
  return 0;
}

int16_t Fail(int16_t, const HostExprEnv*, const HostDataVect* parameters, HostData* result) {
  SetResult(result, "not this");
  return static_cast<int16_t>(std::stoi(Parameter(parameters, 0)));
}

int16_t OnIdle(int16_t, const HostExprEnv*, const HostDataVect* parameters, HostData* result) {
  idleAction = Parameter(parameters, 0);
  SetResult(result, "OK");
  return 0;
}

int16_t LastCall(int16_t, const HostExprEnv*, const HostDataVect*, HostData* result) {
  SetResult(result, "v=" + std::to_string(lastRecord.interfaceVersion) +
                        " m=" + std::to_string(lastRecord.message) +
                        " p=" + std::to_string(lastRecord.param1) +
                        " c=" + std::to_string(lastRecord.bufferCapacity) +
                        " r=" + std::to_string(lastRecord.result));
  return 0;
}

int16_t Log(int16_t, const HostExprEnv*, const HostDataVect*, HostData* result) {
  std::string joined;
  for (const std::string& event : eventLog)
    joined += (joined.empty() ? "" : ",") + event;
  SetResult(result, joined);
  return 0;
}

int16_t Mark(int16_t, const HostExprEnv* environment, const HostDataVect* parameters,
             HostData* result) {
  eventLog.push_back(Parameter(parameters, 0) + "@" + EvaluateIn(environment, "Get(FileName)"));
  SetResult(result, "OK");
  return 0;
}

// Evaluates before and after binding a new environment to the current context.
int16_t ContextEval(int16_t, const HostExprEnv*, const HostDataVect* parameters, HostData* result) {
  HostError error = Fresh();
  HostExprEnv* environment = FM_ExprEnv_Constructor1(&error);
  const std::string before = EvaluateIn(environment, Parameter(parameters, 0));
  const int16_t bound = lastRecord.currentEnvironment(environment);
  const std::string after = EvaluateIn(environment, Parameter(parameters, 0));
  error = Fresh();
  FM_ExprEnv_Delete(environment, &error);
  SetResult(result, "before=" + before + " bound=" + std::to_string(bound) + " after=" + after);
  return 0;
}

struct FakeFunction {
  int16_t id;
  const char* name;
  int16_t min, max;
  HostExternalFunction function;
};

constexpr FakeFunction kFunctions[] = {
    {200, "Fake.Echo", 0, -1, Echo},
    {201, "Fake.Eval", 1, 1, Eval},
    {202, "Fake.StartScript", 1, 2, StartScriptFunction},
    {203, "Fake.Units", 1, 1, UnitsFunction},
    {204, "Fake.Fail", 1, 1, Fail},
    {205, "Fake.OnIdle", 1, 1, OnIdle},
    {206, "Fake.LastCall", 0, 0, LastCall},
    {207, "Fake.Log", 0, 0, Log},
    {208, "Fake.Mark", 1, 1, Mark},
    {209, "Fake.ContextEval", 1, 1, ContextEval},
    {210, "Fake.Pair", 2, 3, Echo},
};
constexpr uint32_t kFlags = 0x00FFFF7E;

HostQuadChar* NewPluginId() {
  HostError error = Fresh();
  return FM_QuadChar_Constructor2('F', 'k', 'P', 'l', &error);
}

void DeletePluginId(HostQuadChar* id) {
  HostError error = Fresh();
  FM_QuadChar_Delete(id, &error);
}

int64_t Startup(int16_t interfaceVersion) {
  eventLog.push_back("startup");
  if (interfaceVersion < 56) return -2;
  HostQuadChar* id = NewPluginId();
  int64_t outcome = -2;
  for (const FakeFunction& function : kFunctions) {
    OwnedText name(function.name);
    OwnedText prototype(std::string(function.name) + "( ... )");
    OwnedText description(std::string("Fake function ") + std::to_string(function.id) +
                          " \xE2\x9C\x93");
    HostError error = Fresh();
    const int16_t code = FM_ExprEnv_RegisterExternalFunctionEx(
        id, function.id, name.text, prototype.text, description.text, function.min, function.max,
        kFlags, function.function, &error);
    if (function.id == kFunctions[0].id && code == 0 && error.code == 0) outcome = 76;
  }
  DeletePluginId(id);
  return outcome;
}

void Shutdown(int16_t interfaceVersion) {
  eventLog.push_back("shutdown");
  if (interfaceVersion < 56) return;
  HostQuadChar* id = NewPluginId();
  for (const FakeFunction& function : kFunctions) {
    HostError error = Fresh();
    FM_ExprEnv_UnRegisterExternalFunction(id, function.id, &error);
  }
  DeletePluginId(id);
}

void Idle(HostCallRecord* record) {
  const std::string action = idleAction;
  idleAction.clear();
  eventLog.push_back("idle" + std::to_string(record->param1));
  if (action.rfind("start:", 0) == 0) {
    const std::string target = action.substr(6);
    const std::size_t slash = target.find('/');
    const int16_t code = slash == std::string::npos
                             ? StartScript("", target)
                             : StartScript(target.substr(0, slash), target.substr(slash + 1));
    eventLog.push_back("started=" + std::to_string(code));
  } else if (action == "probe") {
    // Calls both callbacks straight from the record, whatever they point to.
    OwnedText script("Probe");
    const int16_t started = record->startScript(nullptr, script.text, 2, nullptr);
    const int16_t bound = record->currentEnvironment(nullptr);
    eventLog.push_back("probe=" + std::to_string(started) + "/" + std::to_string(bound));
  }
  eventLog.push_back("idle-end");
}

void AnswerString(HostCallRecord* record) {
  std::u16string answer;
  switch (record->param1) {
  case 128:
    answer = Units(OwnedText("Fake Plug-in").text);
    break;
  case 129:
    answer = Units(OwnedText("Tests the host: \xC3\xA9 \xF0\x9F\x98\x80").text);
    break;
  case 130:
    answer = u"\xD800x";
    break; // a lone surrogate, as a faulty plug-in might write
  case 131:
    answer = Units(OwnedText("FkPl1nnYYnn").text);
    break;
  case 132:
    answer = Units(OwnedText("https://example.invalid/help").text);
    break;
  default:
    break;
  }
  const uint32_t capacity = static_cast<uint32_t>(record->bufferCapacity);
  if (capacity == 0) return;
  auto* buffer = reinterpret_cast<uint16_t*>(record->result);
  const std::size_t count = answer.size() < capacity ? answer.size() : capacity - 1;
  for (std::size_t i = 0; i < count; ++i)
    buffer[i] = answer[i];
  buffer[count] = 0;
}

} // namespace

FAKE_EXPORT void FMExternCallProc(HostCallRecord* record) {
  if (record == nullptr) return;
  lastRecord = SeenRecord{record->interfaceVersion,  record->message, record->param1,
                          record->bufferCapacity,    record->result,  record->startScript,
                          record->currentEnvironment};
  switch (record->message) {
  case kHostMessageStartup:
    record->result = static_cast<uint64_t>(Startup(record->interfaceVersion));
    break;
  case kHostMessageIdle:
    Idle(record);
    break;
  case kHostMessageShutdown:
    Shutdown(record->interfaceVersion);
    break;
  case kHostMessageStringRequest:
    AnswerString(record);
    break;
  default:
    break;
  }
}
