#include "running_under_wine.h"

namespace tideloom {

bool RunningUnderWine() { return false; }

} // namespace tideloom
