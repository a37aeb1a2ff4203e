// The host's idle call, handed to the bridge with what the bridge needs of the host.
#pragma once

#include "hostapi/host_call_record.h"

namespace tideloom {

// Main thread only; the record lives for the length of the call.
void RunBridgeIdle(const HostCallRecord& record);

} // namespace tideloom
