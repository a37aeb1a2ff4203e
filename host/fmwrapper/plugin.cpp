#include <algorithm>

#include "host_call_rules.h"
#include "host_state.h"
#include "plugin_loader.h"

namespace fmhost {
namespace {

constexpr uint16_t kUnwrittenUnit = 0xAAAA;

} // namespace

HostCallRecord MakeCallRecord(uint8_t message, int16_t interfaceVersion, uint8_t param1) {
  HostCallRecord record{};
  record.interfaceVersion = interfaceVersion;
  record.message = message;
  record.param1 = param1;
  record.startScript = StartScriptCallback;
  record.currentEnvironment = CurrentEnvironmentCallback;
  return record;
}

std::unique_ptr<Plugin> Plugin::Load(const std::string& path, std::string* error) {
  std::string reason;
  void* library = OpenPluginLibrary(path, &reason);
  if (library == nullptr) {
    if (error != nullptr) *error = reason;
    return nullptr;
  }
  void* entry = FindPluginSymbol(library, "FMExternCallProc");
  if (entry == nullptr) {
    ClosePluginLibrary(library);
    if (error != nullptr) *error = "the library exports no FMExternCallProc";
    return nullptr;
  }
  NotePluginLoaded();
  return std::unique_ptr<Plugin>(
      new Plugin(library, reinterpret_cast<FMExternCallProcType>(entry)));
}

Plugin::Plugin(void* module, FMExternCallProcType entry) : module_(module), entry_(entry) {}

Plugin::~Plugin() {
  // Functions of an unloaded library must not stay callable.
  State().functions.clear();
  ClosePluginLibrary(module_);
}

void Plugin::Send(HostCallRecord& record) {
  if (record.message == kHostMessageStartup) NotePluginStarted();
  NoteMessageSent();
  entry_(&record);
  NoteMessageAnswered();
  if (record.message == kHostMessageShutdown) NotePluginShutDown();
}

int64_t Plugin::Startup(int16_t interfaceVersion) {
  interfaceVersion_ = interfaceVersion;
  HostCallRecord record = MakeCallRecord(kHostMessageStartup, interfaceVersion);
  Send(record);
  return static_cast<int64_t>(record.result);
}

void Plugin::Idle(uint8_t level) {
  HostCallRecord record = MakeCallRecord(kHostMessageIdle, interfaceVersion_, level);
  Send(record);
  RunStartedScripts();
}

void Plugin::Shutdown(int16_t interfaceVersion) {
  HostCallRecord record = MakeCallRecord(kHostMessageShutdown, interfaceVersion);
  Send(record);
}

std::vector<uint16_t> Plugin::RequestString(uint8_t id, uint32_t capacity) {
  std::vector<uint16_t> buffer(std::size_t{capacity} + kStringGuardUnits, kUnwrittenUnit);
  HostCallRecord record = MakeCallRecord(kHostMessageStringRequest, interfaceVersion_, id);
  record.bufferCapacity = capacity;
  record.result = reinterpret_cast<uint64_t>(buffer.data());
  Send(record);
  return buffer;
}

} // namespace fmhost
