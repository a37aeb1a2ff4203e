#include <cstdlib>

#include "settings_sandbox.h"

namespace tideloom {

void SetTestEnvironment(const char* name, const char* value) {
  // An empty value removes the variable on Windows.
  ::_putenv_s(name, value == nullptr ? "" : value);
}

} // namespace tideloom
