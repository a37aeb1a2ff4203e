// A small plug-in that exercises the host the way a real one does, so that the host stand-in is
// tested without TideLoom itself. Its functions report what they saw as their text results.
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "host_text.h"

#if defined(_WIN32)
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using namespace host_text;

HostCallRecord lastRecord{};
std::string idleAction;
std::vector<std::string> eventLog;

// Calls the host once more when the library is unloaded, after shutdown.
struct LateCall {
  bool armed = false;
  ~LateCall() {
    if (armed) FM_Text_Constructor1(Fresh());
  }
} lateCall;

// Breaks one of the host's rules, as a faulty plug-in would.
void Misbehave(const std::string& how, HostData* result) {
  if (how == "thread") {
    std::thread([] { FM_Text_Constructor1(Fresh()); }).join();
  } else if (how == "forged") {
    FM_Text_GetSize(reinterpret_cast<const HostText*>(&lastRecord), Fresh());
  } else if (how == "wrong kind") {
    FM_DataVect_Size(reinterpret_cast<const HostDataVect*>(result), Fresh());
  } else if (how == "late") {
    lateCall.armed = true;
  } else if (how == "leak") { // one of each kind it can make
    FM_Text_Constructor1(Fresh());
    FM_Data_Constructor1(Fresh());
    FM_ExprEnv_Constructor1(Fresh());
    FM_QuadChar_Constructor2('L', 'e', 'a', 'k', Fresh());
  }
}

// Evaluates in an environment; "error N" for an evaluation error.
std::string EvaluateIn(const HostExprEnv* environment, const std::string& expression) {
  OwnedText text(expression);
  HostData* value = FM_Data_Constructor1(Fresh());
  const int16_t code = FM_ExprEnv_Evaluate(environment, text.text, value, Fresh());
  const std::string answer =
      code != 0 ? "error " + std::to_string(code) : Utf8(FM_Data_GetAsText(value, Fresh()));
  FM_Data_Delete(value, Fresh());
  return answer;
}

int16_t StartScript(const std::string& file, const std::string& script) {
  if (lastRecord.startScript == nullptr) return -100;
  OwnedText fileText(file), scriptText(script);
  return lastRecord.startScript(file.empty() ? nullptr : fileText.text, scriptText.text, 2,
                                nullptr);
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string joined;
  for (const std::string& part : parts)
    joined += (joined.empty() ? "" : separator) + part;
  return joined;
}

const char* const kNames[] = {
    "Fake.Echo",   "Fake.Eval", "Fake.StartScript", "Fake.Misbehave",   "Fake.Fail",
    "Fake.OnIdle", "Fake.Log",  "Fake.Mark",        "Fake.ContextEval", "Fake.Pair"};
constexpr int16_t kMin[] = {0, 1, 1, 1, 1, 1, 0, 1, 1, 2};
constexpr int16_t kMax[] = {-1, 1, 2, 1, 1, 1, 0, 1, 1, 3};
constexpr int16_t kFirstId = 200;
constexpr uint32_t kFlags = 0x00FFFF7E;

// Every function comes here, as the function id tells which one was called.
int16_t Call(int16_t id, const HostExprEnv* environment, const HostDataVect* parameters,
             HostData* result) {
  std::vector<std::string> args;
  const uint32_t count = FM_DataVect_Size(parameters, Fresh());
  for (uint32_t i = 0; i < count; ++i) {
    const HostData* value = FM_DataVect_At(parameters, i, Fresh());
    const HostText* text = lastError.code == 0 ? FM_Data_GetAsText(value, Fresh()) : nullptr;
    args.push_back(text != nullptr ? Utf8(text) : "");
  }
  std::string answer = "OK";
  int16_t code = 0;
  switch (id - kFirstId) {
  case 0: // Echo
  case 9: // Pair
    answer = Joined(args, "|");
    break;
  case 1:
    answer = EvaluateIn(environment, args[0]);
    break;
  case 2:
    answer =
        std::to_string(args.size() == 2 ? StartScript(args[0], args[1]) : StartScript("", args[0]));
    break;
  case 3:
    Misbehave(args[0], result);
    break;
  case 4:
    answer = "not this";
    code = static_cast<int16_t>(std::stoi(args[0]));
    break;
  case 5:
    idleAction = args[0];
    break;
  case 6:
    answer = Joined(eventLog, ",");
    break;
  case 7:
    eventLog.push_back(args[0] + "@" + EvaluateIn(environment, "Get(FileName)"));
    break;
  case 8: { // evaluates before and after binding a new environment to the current context
    HostExprEnv* fresh = FM_ExprEnv_Constructor1(Fresh());
    const std::string before = EvaluateIn(fresh, args[0]);
    const int16_t bound = lastRecord.currentEnvironment(fresh);
    answer = "before=" + before + " bound=" + std::to_string(bound) +
             " after=" + EvaluateIn(fresh, args[0]);
    FM_ExprEnv_Delete(fresh, Fresh());
    break;
  }
  default:
    break;
  }
  OwnedText text(answer);
  const HostLocale* locale = FM_Data_GetLocale(result, Fresh());
  if (text.text != nullptr) FM_Data_SetAsText(result, text.text, locale, 1, Fresh());
  return code;
}

int64_t Startup(int16_t interfaceVersion) {
  eventLog.push_back("startup");
  if (interfaceVersion < 56) return -2;
  HostQuadChar* pluginId = FM_QuadChar_Constructor2('F', 'k', 'P', 'l', Fresh());
  if (pluginId == nullptr) return -2;
  int64_t outcome = -2;
  for (int16_t i = 0; i < static_cast<int16_t>(std::size(kNames)); ++i) {
    const int16_t id = static_cast<int16_t>(kFirstId + i);
    OwnedText name(kNames[i]);
    OwnedText prototype(std::string(kNames[i]) + "( ... )");
    OwnedText description("Fake function " + std::to_string(id) + " \xE2\x9C\x93");
    if (!name.text || !prototype.text || !description.text) continue;
    const int16_t code = FM_ExprEnv_RegisterExternalFunctionEx(
        pluginId, id, name.text, prototype.text, description.text, kMin[i], kMax[i], kFlags, Call,
        Fresh());
    if (i == 0 && code == 0 && lastError.code == 0) outcome = 76;
  }
  FM_QuadChar_Delete(pluginId, Fresh());
  return outcome;
}

void Shutdown(int16_t interfaceVersion) {
  eventLog.push_back("shutdown");
  if (interfaceVersion < 56) return;
  HostQuadChar* pluginId = FM_QuadChar_Constructor2('F', 'k', 'P', 'l', Fresh());
  if (pluginId == nullptr) return;
  for (int16_t i = 0; i < static_cast<int16_t>(std::size(kNames)); ++i)
    FM_ExprEnv_UnRegisterExternalFunction(pluginId, static_cast<int16_t>(kFirstId + i), Fresh());
  FM_QuadChar_Delete(pluginId, Fresh());
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
  }
  eventLog.push_back("idle-end");
}

void AnswerString(HostCallRecord* record) {
  const char* const answers[] = {"Fake Plug-in", "Tests the host: \xC3\xA9 \xF0\x9F\x98\x80", "",
                                 "FkPl1nnYYnn", "https://example.invalid/help"};
  std::u16string answer;
  if (record->param1 == 130) {
    answer = u"\xD800x"; // a lone surrogate, as a faulty plug-in might write
  } else if (record->param1 >= 128 && record->param1 <= 132) {
    answer = Units(OwnedText(answers[record->param1 - 128]).text);
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
  lastRecord = *record;
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
