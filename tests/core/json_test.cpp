#include "core/json.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tideloom {

using namespace std::string_literals;

TEST(JsonEscape, WritesEveryControlByteInTheFormJsonRequires) {
  const std::vector<std::pair<std::string, std::string>> table = {
      // Printable ASCII, '/' and DEL pass as they are.
      {"abc/\x7f", "abc/\x7f"},
      {"\"", "\\\""},
      {"\\", "\\\\"},
      {"\n", "\\n"},
      {"\r", "\\r"},
      {"\t", "\\t"},
      {"\0"s, "\\u0000"},
      {"\x08", "\\u0008"},
      {"\x1f", "\\u001f"},
      {"\xC3\xA9", "\xC3\xA9"},
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      // Each ill-formed part becomes one U+FFFD, so the body stays JSON.
      {"\xFF\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"a\xC3", "a\xEF\xBF\xBD"},
      {"\xE2\x82z", "\xEF\xBF\xBDz"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& [input, expected] : table)
    EXPECT_EQ(JsonEscape(input), expected) << "input of " << input.size() << " bytes";
}

TEST(JsonStringField, FindsTheFirstExactlyFormedStringMemberAndDecodesItToItsEnd) {
  const std::string command = R"({"id":"42","type":"GET_SCHEMA"})";
  const std::tuple<std::string, const char*, std::string> cases[] = {
      {command, "type", "GET_SCHEMA"},
      {R"({"id": "42"})", "id", ""},
      {R"({"id":42,"n":null,"o":{}})", "id", ""},
      {R"({"error":"x","data":{"error":"y"}})", "error", "x"},
      {R"({"ID":"upper"})", "id", ""},
      {R"({"msg":"a\"b\\c"})", "msg", "a\"b\\c"},
      {R"({"v":"\n\r\t\/\b\f"})", "v", "\n\r\t/\b\f"},
      {R"({"v":"\x\q"})", "v", "xq"},
      // Incomplete unicode escapes are copied byte for byte; an unclosed value runs to the end.
      {R"({"v":"\u12G4"})", "v", "u12G4"},
      {R"({"v":"\u00)", "v", "u00"},
      {R"({"v":"open)", "v", "open"},
      {R"({"v":"tail\)", "v", "tail\\"},
      {R"({"v":")", "v", ""},
      {R"({"v":"a\")", "v", "a\""},
      {R"({"v":"\u07ff\u0800\uffff"})", "v", "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {R"({"v":"a\u0000b"})", "v", "a\0b"s},
      {R"({"v":"\ud83d\ude00"})", "v", "\xF0\x9F\x98\x80"},
      {R"({"v":"\udbff\udfff"})", "v", "\xF4\x8F\xBF\xBF"},
      // Lone surrogates become replacement characters.
      {R"({"v":"\ud83dx"})", "v", "\xEF\xBF\xBDx"},
      {R"({"v":"\ud83d\u0041"})", "v", "\xEF\xBF\xBD\x41"},
      {R"({"v":"\ud83d\ud83d\ude00"})", "v", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {R"({"v":"\ude00\ud83d"})", "v", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& [reply, name, expected] : cases)
    EXPECT_EQ(JsonStringField(reply, name), expected) << reply;
}

// Host lists end their lines with CR, LF or both; the entries are escaped as JSON strings.
TEST(ListToJsonArray, GivesOneEscapedStringPerNonEmptyLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"Sales\r\rContacts\r", R"(["Sales","Contacts"])"},
      {"one\r\ntwo\nthree", R"(["one","two","three"])"},
      {"\r\r\n\n", "[]"},
      {" inner  spaces \r", R"([" inner  spaces "])"},
      {"say \"hi\"\rback\\slash\r\xC3\xA9t\xC3\xA9\rtab\there\r\x01",
       R"(["say \"hi\"","back\\slash",")"
       "\xC3\xA9t\xC3\xA9"
       R"(","tab\there","\u0001"])"},
  };
  for (const auto& [list, json] : cases)
    EXPECT_EQ(ListToJsonArray(list), json) << list;
}

} // namespace tideloom
