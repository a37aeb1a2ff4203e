#include "bridge/bridge_lifecycle.h"

#include "bridge/bridge_session.h"
#include "bridge/idle_executor.h"
#include "bridge/idle_host.h"

void BridgeStartup() { ResumeBridge(); }

void BridgeIdle(const HostCallRecord& record) { onIdle(record.param1, HostIdleCalls()); }

void BridgeShutdown() { StopBridge(); }
