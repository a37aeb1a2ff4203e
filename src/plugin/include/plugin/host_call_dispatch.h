// The spine of the plug-in: what each message of the host does, in which order.
#pragma once

#include <cstdint>
#include <string_view>

#include "hostapi/host_call_record.h"

namespace tideloom {

// Everything FMExternCallProc does. Nothing thrown inside gets out to the host.
void DispatchHostCall(HostCallRecord* record) noexcept;

int64_t PluginStartup(int16_t interfaceVersion);
void PluginShutdown(int16_t interfaceVersion);

// Copies a text into the host's UTF-16 buffer, cut to capacity - 1 units and zero-terminated.
void CopyToHostBuffer(std::string_view text, uint32_t capacity, uint16_t* buffer);

} // namespace tideloom
