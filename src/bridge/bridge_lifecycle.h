// The bridge's part in the plug-in's life: start-up, idle time and shutdown.
#pragma once

#include "plugin/host_call_record.h"

// Resumes the bridge from the stored settings.
void BridgeStartup();
// Runs the bridge's idle-time work on the host's thread.
void BridgeIdle(const HostCallRecord& record);
// Stops background work, waiting a bounded time for it to end.
void BridgeShutdown();
