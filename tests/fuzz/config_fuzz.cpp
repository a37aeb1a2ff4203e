// The settings reader on whatever the settings file holds: no crash, and a value written with
// the file's two escapes reads back whole.
#include "fuzz_input.h"
#include "platform/config_store.h"

using namespace tideloom;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [value, text] = SplitFields<2>(data, size);
  (void)ConfigValue(text, kLicenseKeyMember);
  (void)ConfigValue(text, kBaseUrlMember);

  std::string file = "{\"licenseKey\":\"";
  for (const char c : value) {
    if (c == '"' || c == '\\') file += '\\';
    file += c;
  }
  file += "\",\"baseUrl\":\"http://x\"}";
  Require(ConfigValue(file, kLicenseKeyMember) == value, "ConfigValue misread a written value");
  return 0;
}
