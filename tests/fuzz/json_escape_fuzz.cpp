// JsonEscape's output is always the body of a JSON string, and gives the input back whenever the
// input is well-formed UTF-8.
#include "core/json.h"
#include "fuzz_input.h"
#include "json_judge.h"

using namespace tideloom;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const nlohmann::json parsed = ParseJson("\"" + JsonEscape(text) + "\"");
  Require(parsed.is_string(), "JsonEscape output is not a JSON string");
  if (IsValidUtf8(text)) Require(parsed.get<std::string>() == text, "JsonEscape lost text");
  return 0;
}
