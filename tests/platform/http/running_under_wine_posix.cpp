#include "peer_client.h"

namespace tideloom {

bool RunningUnderWine() { return false; }

} // namespace tideloom
