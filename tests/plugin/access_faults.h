// Memory access faults in this process since the watch began. On Linux a fault ends the process
// anyway; on Windows (and under Wine) a fault in another thread may leave the process running,
// so it is counted.
#pragma once

namespace tideloom {

void WatchAccessFaults();
int AccessFaultsSeen();

} // namespace tideloom
