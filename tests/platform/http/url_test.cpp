// The same table runs against WinHTTP's cracker on Windows and the portable rules elsewhere:
// both must accept and refuse the same URLs and split them alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/url.h"

namespace tideloom {

namespace {

using namespace std::string_literals;

struct UrlCase {
  std::string url;
  bool accepted = false;
  std::u16string host = {};
  uint16_t port = 0;
  std::u16string path = {};
  bool secure = false;
};

std::vector<UrlCase> UrlCases() {
  const std::string host255(255, 'h');
  const std::string path2047 = "/" + std::string(2046, 'p');
  const std::string extra2047 = "?" + std::string(2046, 'q');
  std::vector<UrlCase> cases = {
      {"http://example.com", true, u"example.com", 80, u"/", false},
      {"https://example.com", true, u"example.com", 443, u"/", true},
      {"http://example.com:8080/a/b?x=1&y=2", true, u"example.com", 8080, u"/a/b?x=1&y=2", false},
      {"https://example.com:8443/api", true, u"example.com", 8443, u"/api", true},
      {"http://127.0.0.1:65535/", true, u"127.0.0.1", 65535, u"/", false},
      {"HTTPS://Example.com/x", true, u"Example.com", 443, u"/x", true},
      {"Https://h/", true, u"h", 443, u"/", true},
      {"HTTP://h/p", true, u"h", 80, u"/p", false},
      {"http://user:secret@h/p", true, u"h", 80, u"/p", false},
      {"http://h/p#part", true, u"h", 80, u"/p#part", false},
      {"http://h/a%20b?c=%2F", true, u"h", 80, u"/a%20b?c=%2F", false},
      {"http://h/caf\xC3\xA9?q=\xE2\x82\xAC", true, u"h", 80, u"/caf\u00E9?q=\u20AC", false},
      {"http://" + host255 + "/", true, std::u16string(255, u'h'), 80, u"/", false},
      {"http://h" + path2047, true, u"h", 80, std::u16string(path2047.begin(), path2047.end()),
       false},
      {"http://h/p" + extra2047, true, u"h", 80,
       u"/p" + std::u16string(extra2047.begin(), extra2047.end()), false},
  };
  for (const std::string& refused :
       {""s, "ftp://example.com/file"s, "example.com/path"s, "localhost:8080/path"s,
        "mailto:someone@example.com"s, "gopher://h/\xC3\xA9"s, "http:/example.com"s,
        "http//example.com"s, "http://"s, "http://h:65536/"s, "http://" + host255 + "h/",
        "http://h" + path2047 + "p", "http://h/p" + extra2047 + "q"})
    cases.push_back({refused});
  return cases;
}

TEST(ParseUrl, AcceptsAndRefusesTheSameUrlsOnEveryPlatform) {
  for (const UrlCase& c : UrlCases()) {
    SCOPED_TRACE(c.url.substr(0, 80));
    ParsedUrl parsed;
    parsed.host = u"kept";
    std::string error = "untouched";
    const bool accepted = ParseUrl(c.url, parsed, error);
    ASSERT_EQ(accepted, c.accepted);
    if (!accepted) {
      EXPECT_EQ(error, "Failed to parse URL: " + c.url);
      EXPECT_TRUE(parsed.host == u"kept") << "a refused URL leaves the record alone";
      continue;
    }
    EXPECT_EQ(error, "untouched");
    EXPECT_TRUE(parsed.host == c.host);
    EXPECT_EQ(parsed.port, c.port);
    EXPECT_TRUE(parsed.path == c.path);
    EXPECT_EQ(parsed.secure, c.secure);
  }
}

} // namespace

} // namespace tideloom
