#include "bridge/bridge_lifecycle.h"

// The web service bridge is not built yet; until it is, the plug-in has no background work.
void BridgeStartup() {}

void BridgeIdle(const HostCallRecord&) {}

void BridgeShutdown() {}
