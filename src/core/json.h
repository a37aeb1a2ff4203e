// The byte-string JSON helpers that all of the plug-in's JSON rests on: values are escaped into
// concatenated literals, and replies are searched for one string member at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The body of a JSON string for `text`, without the surrounding quotes. Bytes of 0x80 and above
// pass unchanged; control bytes other than tab, line feed and carriage return become \u00xx.
std::string JsonEscape(std::string_view text);

// Appends JsonEscape(text) to `out`, for callers that build a larger text.
void AppendJsonEscaped(std::string& out, std::string_view text);

// The unescaped value of the first `"key":"` in `text` (no blanks allowed around the colon), or
// empty text when there is none. An unclosed value yields what was read up to the end.
std::string JsonStringField(std::string_view text, std::string_view key);

// Where the value of the first `"key":"` in `text` begins (just after its opening quote), or
// npos. Both readers of the plug-in's JSON, replies and the settings file, find members this way.
size_t FindStringMemberValue(std::string_view text, std::string_view key);

// A JSON array of strings, one per non-empty line of a host value list (CR or LF separated).
std::string ListToJsonArray(std::string_view list);
