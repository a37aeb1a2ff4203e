#include "plugin/host_call_dispatch.h"

#include "bridge/bridge_session.h"
#include "hostapi/host_objects.h"
#include "hostapi/plugin_identity.h"
#include "plugin/function_registry.h"
#include "plugin/idle_adapter.h"

namespace tideloom {

namespace {

std::string_view StringForRequest(uint8_t id) {
  switch (id) {
  case kStringName:
    return kPluginName;
  case kStringDescription:
    return kPluginDescription;
  case kStringOptions:
    return kPluginOptions;
  case kStringHelpUrl:
    return kHelpUrl;
  default:
    return {};
  }
}

void AnswerStringRequest(const HostCallRecord& record) {
  auto* buffer = reinterpret_cast<uint16_t*>(static_cast<uintptr_t>(record.result));
  const auto capacity = static_cast<uint32_t>(record.bufferCapacity & 0xFFFFFFFFu);
  if (buffer == nullptr || capacity == 0) return;
  // Should the host fail us half-way, it still finds a terminated (empty) answer.
  buffer[0] = 0;
  CopyToHostBuffer(StringForRequest(record.param1), capacity, buffer);
}

} // namespace

void CopyToHostBuffer(std::string_view text, uint32_t capacity, uint16_t* buffer) {
  if (capacity == 0) return;
  HostTextObject hostText(text);
  const uint32_t units = CallHost(FM_Text_GetSize, static_cast<const HostText*>(hostText.get()));
  const uint32_t count = capacity > units ? units : capacity - 1;
  if (count > 0) {
    CallHost(FM_Text_GetUnicode, static_cast<const HostText*>(hostText.get()), buffer, uint32_t{0},
             count);
  }
  buffer[count] = 0;
}

int64_t PluginStartup(int16_t interfaceVersion) {
  ResumeBridge();
  int64_t result = kStartupRefuse;
  if (interfaceVersion >= kLowestRegisteringInterfaceVersion) {
    PluginIdObject pluginId;
    if (RegisterAll(pluginId.get()) == 0) result = kStartupEnable;
  }
  return result;
}

void PluginShutdown(int16_t interfaceVersion) {
  StopBridge();
  if (interfaceVersion >= kLowestRegisteringInterfaceVersion) {
    PluginIdObject pluginId;
    UnregisterAll(pluginId.get());
  }
}

void DispatchHostCall(HostCallRecord* record) noexcept {
  if (record == nullptr) return;
  try {
    switch (record->message) {
    case kHostMessageStartup:
      // Refused unless start-up runs to its end.
      record->result = static_cast<uint64_t>(kStartupRefuse);
      record->result = static_cast<uint64_t>(PluginStartup(record->interfaceVersion));
      break;
    case kHostMessageIdle:
      RunBridgeIdle(*record);
      break;
    case kHostMessageShutdown:
      PluginShutdown(record->interfaceVersion);
      break;
    case kHostMessageStringRequest:
      AnswerStringRequest(*record);
      break;
    default:
      break;
    }
  } catch (...) {
    // The host has no way to receive an exception; what was done so far stands.
  }
}

} // namespace tideloom
