// The byte-string JSON helpers that all of the plug-in's JSON rests on: values are escaped into
// concatenated literals, and replies are searched for one string member at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tideloom {

// The body of a JSON string for `text`, without the surrounding quotes. Well-formed UTF-8 passes
// unchanged and each ill-formed part becomes U+FFFD; control bytes other than tab, line feed and
// carriage return become \u00xx.
std::string JsonEscape(std::string_view text);

// Appends JsonEscape(text) to `out`, for callers that build a larger text.
void AppendJsonEscaped(std::string& out, std::string_view text);

// The unescaped value of the first `"key":"` in `text` (no blanks allowed around the colon), or
// empty text when there is none. An unclosed value yields what was read up to the end.
std::string JsonStringField(std::string_view text, std::string_view key);

// Where the value of the first `"key":"` in `text` begins (just after its opening quote), or
// npos. Both readers of the plug-in's JSON, replies and the settings file, find members this way.
size_t FindStringMemberValue(std::string_view text, std::string_view key);

// One JSON object written member by member in the caller's order, with no blanks: every JSON
// text the plug-in sends is built this way.
class JsonObjectWriter {
public:
  // `expectedSize` reserves room up front, for objects that carry a payload.
  explicit JsonObjectWriter(std::size_t expectedSize = 0);
  // A string member; the value is escaped.
  JsonObjectWriter& String(std::string_view key, std::string_view value);
  // A member whose value is JSON already (true, an array...).
  JsonObjectWriter& Raw(std::string_view key, std::string_view json);
  // The closed object; the writer is spent.
  std::string Finish();

private:
  void Key(std::string_view key);
  std::string out_;
};

// A JSON array of strings, one per non-empty line of a host value list (CR or LF separated).
std::string ListToJsonArray(std::string_view list);

} // namespace tideloom
