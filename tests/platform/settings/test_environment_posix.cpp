#include <cstdlib>

#include "settings_sandbox.h"

namespace tideloom {

void SetTestEnvironment(const char* name, const char* value) {
  value == nullptr ? ::unsetenv(name) : ::setenv(name, value, 1);
}

} // namespace tideloom
