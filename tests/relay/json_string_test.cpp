// The poll reply's strings are written by hand for speed; they must be what the JSON library
// writes everywhere else, byte for byte, ill-formed UTF-8 included.
#include <gtest/gtest.h>

#include <string>

#include "relay/relay_reply.h"

namespace {

std::string Written(std::string_view text) {
  std::string out = "prefix";
  AppendJsonString(out, text);
  return out.substr(6);
}

TEST(RelayJsonString, WritesWhatTheJsonLibraryWrites) {
  std::vector<std::string> texts = {"",
                                    "<a href=\"x\">\\</a>",
                                    "\x7f end",
                                    "Grüße 東京 🎉",
                                    "\xc0\xaf overlong",
                                    "\xed\xa0\x80 surrogate",
                                    "\xf4\x90\x80\x80 too high",
                                    "cut \xe6\x9d"};
  for (int byte = 0; byte < 256; ++byte)
    texts.push_back("a" + std::string(1, static_cast<char>(byte)) + "b");
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(Written(text), DumpJson(Json(text)));
  }
}

} // namespace
