// The portable URL parser on arbitrary text: no crash, and an accepted URL names http or https
// and keeps every part within its limit.
#include "core/ascii.h"
#include "fuzz_input.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

using namespace tideloom;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  ParsedUrl parsed;
  std::string error;
  if (!ParseUrl(url, parsed, error)) {
    Require(error == "Failed to parse URL: " + std::string(url), "refusal without its message");
    return 0;
  }
  Require(FoldAsciiCase(WideToUtf8(parsed.scheme)) == (parsed.secure ? "https" : "http"),
          "accepted a scheme other than http or https");
  Require(parsed.host.size() < kHostLimit, "host too long");
  Require(!parsed.path.empty() && parsed.path.size() < kPathLimit + kExtraLimit, "path length");
  return 0;
}
