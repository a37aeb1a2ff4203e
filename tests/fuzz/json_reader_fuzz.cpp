// The reply reader and the list writer on arbitrary text: JsonStringField reads back any member
// JsonObjectWriter wrote, and ListToJsonArray always writes a JSON array of the list's lines.
#include <vector>

#include "core/json.h"
#include "core/list_lines.h"
#include "fuzz_input.h"
#include "json_judge.h"

using namespace tideloom;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto [key, value, text] = SplitFields<3>(data, size);
  (void)JsonStringField(text, key);
  if (!key.empty() && IsValidUtf8(value)) {
    const std::string object = JsonObjectWriter().String(key, value).Raw("n", "1").Finish();
    Require(JsonStringField(object, key) == value, "JsonStringField misread a written member");
  }

  const nlohmann::json array = ParseJson(ListToJsonArray(text));
  Require(array.is_array(), "ListToJsonArray output is not a JSON array");
  if (IsValidUtf8(text)) {
    std::vector<std::string> lines;
    for (const std::string_view line : HostListLines(text))
      lines.emplace_back(line);
    Require(array == nlohmann::json(lines), "ListToJsonArray lost a line");
  }
  return 0;
}
