#include <cstdlib>

#include "settings_sandbox.h"

namespace tideloom {

void SetTestEnvironment(const char* name, const char* value) {
  if (value == nullptr) {
    ::unsetenv(name);
  } else {
    ::setenv(name, value, 1);
  }
}

} // namespace tideloom
