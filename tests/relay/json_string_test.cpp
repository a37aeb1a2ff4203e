// The poll reply's strings are written by hand for speed; they must be what the JSON library
// writes everywhere else, byte for byte, ill-formed UTF-8 included.
#include <gtest/gtest.h>

#include <string>

#include "relay/relay_reply.h"

TEST(RelayJsonString, WritesWhatTheJsonLibraryWrites) {
  std::vector<std::string> texts = {"",
                                    "Grüße 東京 🎉",
                                    "\xc0\xaf overlong",
                                    "\xed\xa0\x80 surrogate",
                                    "\xf4\x90\x80\x80 too high",
                                    "cut \xe6\x9d"};
  for (int byte = 0; byte < 256; ++byte)
    texts.push_back("a" + std::string(1, static_cast<char>(byte)) + "b");
  for (const std::string& text : texts) {
    SCOPED_TRACE(testing::PrintToString(text));
    std::string out = "prefix"; // appended to, never overwritten
    AppendJsonString(out, text);
    EXPECT_EQ(out, "prefix" + DumpJson(Json(text)));
  }
}
