// The portable URL parser on arbitrary text: no crash, and an accepted URL names http or https
// and keeps every part within its limit.
#include "fuzz_input.h"
#include "platform/url.h"

using namespace tideloom;

namespace {
bool IsScheme(const std::u16string& scheme, std::u16string_view lower) {
  if (scheme.size() != lower.size()) return false;
  for (size_t i = 0; i < lower.size(); ++i) {
    const char16_t c = scheme[i] >= u'A' && scheme[i] <= u'Z' ? scheme[i] + 32 : scheme[i];
    if (c != lower[i]) return false;
  }
  return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  ParsedUrl parsed;
  std::string error;
  if (!ParseUrl(url, parsed, error)) {
    Require(error == "Failed to parse URL: " + std::string(url), "refusal without its message");
    return 0;
  }
  Require(parsed.secure ? IsScheme(parsed.scheme, u"https") : IsScheme(parsed.scheme, u"http"),
          "accepted a scheme other than http or https");
  Require(parsed.host.size() < kHostLimit, "host too long");
  Require(!parsed.path.empty() && parsed.path.size() < kPathLimit + kExtraLimit, "path length");
  return 0;
}
