// Setting environment variables from a test, one back end per platform.
#pragma once

namespace tideloom {

// A null value removes the variable.
void SetTestEnvironment(const char* name, const char* value);

} // namespace tideloom
