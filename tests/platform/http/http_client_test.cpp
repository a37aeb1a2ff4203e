// The client against a real server on loopback, the same cases for curl and for WinHTTP: the
// bytes on the wire, the reply as received, and the message for each way an exchange can fail.
// The URL table runs against WinHTTP's cracker on Windows and the portable rules elsewhere: both
// must accept and refuse the same URLs and split them alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/ascii.h"
#include "peer_client.h"
#include "platform/http.h"
#include "platform/text_conversion.h"
#include "platform/url.h"

namespace tideloom {

namespace {

using nlohmann::json;
using namespace std::string_literals;

// GETs and JSON posts go through the wrappers the functions call; the rest through the request.
HttpReply Send(const std::string& method, const std::string& url, const std::string& type,
               const std::string& body) {
  if (method == "GET") return HttpGet(url);
  if (type == "application/json") return HttpPostJson(url, body);
  return HttpRequest(method, url, type, body);
}

json Redirect(const std::string& path, int status, const std::string& location) {
  return {{"path", path}, {"status", status}, {"headers", {{"Location", location}}}};
}

using HttpClient = PeerTest;

TEST_F(HttpClient, TheRequestGoesOutByteForByteAndAnyReplyComesBackWhole) {
  struct Case {
    std::string name, query, method, contentType, body; // "" contentType: no such header
    json script = {{"body", "peer default reply"}};     // the peer's answer
  };
  const std::string everyByte = Patterned(251) + "\xFB\xFC\xFD\xFE\xFF";
  const std::string cafe = "{\"name\":\"caf\xC3\xA9\"}";
  const std::string jsonType = "application/json", octets = "application/octet-stream";
  const std::vector<Case> cases = {
      {"ingest", "?key=a%20b&x=1", "POST", jsonType, cafe, {{"status", 201}, {"body", "{}"}}},
      {"next", "", "GET", "", ""},
      {"empty", "", "POST", "", ""},
      {"bytes", "", "POST", octets, everyByte, {{"body", std::string("with\0NULs\0", 10)}}},
      // Any status yields its body, and an empty body replaces the reply.
      {"404", "", "POST", "", "x", {{"status", 404}, {"body", "<html>Not here</html>"}}},
      {"500", "", "POST", "", "x", {{"status", 500}, {"body", "boom"}}},
      {"200", "", "POST", "", "x", {{"body", ""}}},
      // Large, slow and close-delimited bodies arrive whole.
      {"large", "", "POST", "", "x", {{"bodySize", 8 * 1024 * 1024 + 17}, {"chunkSize", 100000}}},
      {"slow", "", "POST", "", "x", {{"bodySize", 5000}, {"chunkSize", 500}, {"chunkDelayMs", 20}}},
      {"unsized", "", "POST", "", "x", {{"body", "until closed"}, {"contentLength", -1}}},
  };
  // Only what HTTP itself needs may accompany the Content-Type header.
  const std::set<std::string> allowed = {"host", "user-agent", "content-length", "connection",
                                         "content-type"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    json script = c.script;
    script["path"] = Path(c.name);
    ScriptPeer(script);
    const HttpReply reply = Send(c.method, Url(c.name) + c.query, c.contentType, c.body);
    ASSERT_TRUE(reply) << reply.error;
    const std::string expected = c.script.contains("bodySize") ? Patterned(c.script["bodySize"])
                                                               : c.script.value("body", "");
    EXPECT_TRUE(reply.body == expected) << "got " << reply.body.size() << " bytes";
    EXPECT_EQ(reply.status, c.script.value("status", 200));

    const RecordedRequest request = OnlyRequestUnder(Path(c.name));
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.target, Path(c.name) + c.query);
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(HeaderValue(request, "User-Agent"), "TideLoom/1.0");
    if (c.method == "POST") {
      EXPECT_EQ(HeaderValue(request, "Content-Length"), std::to_string(c.body.size()));
    }
    for (const auto& [name, value] : request.headers)
      EXPECT_TRUE(allowed.contains(FoldAsciiCase(name))) << "unexpected header " << name;
    EXPECT_EQ(HeaderValue(request, "Content-Type"), c.contentType);
    const auto isType = [](const auto& h) { return FoldAsciiCase(h.first) == "content-type"; };
    EXPECT_EQ(std::ranges::count_if(request.headers, isType), c.contentType.empty() ? 0 : 1);
  }
}

TEST_F(HttpClient, EachWayAnExchangeFailsNamesItsStepAndLeavesTheOutputsAlone) {
  ScriptPeer({{"path", Path("cut")}, {"body", std::string(1000, 'a')}, {"sendBytes", 10}});
  ScriptPeer({{"path", Path("hangup")}, {"closeWithoutReply", true}});
  for (int i = 0; i < 11; ++i)
    ScriptPeer(Redirect(Path("hop" + std::to_string(i)), 302, Path("hop" + std::to_string(i + 1))));
  const int freePort = FreePort();
  ASSERT_NE(freePort, 0);
  const std::string peer = "127.0.0.1:" + std::to_string(TIDELOOM_HTTP_PEER_PORT);
  const std::string send = "WinHttpSendRequest/WinHttpReceiveResponse";
  // The step that fails, or "" when the URL itself is refused before any network activity.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Url("cut"), "WinHttpReadData"},
      {Url("hangup"), send},
      {"http://127.0.0.1:" + std::to_string(freePort) + "/x", send},
      {Url("hop0"), send}, // the eleventh redirect
      // TLS from the first byte; the parser's table covers the scheme's letter case.
      {"https://" + peer + "/secret", send},
      {"ftp://" + peer + Path("unparsed"), ""},
  };
  std::size_t handshakes = RequestsUnder(kTlsTarget).size();
  for (const auto& [url, step] : cases) {
    SCOPED_TRACE(url);
    // A GET, since Wine's WinHTTP fails a POST that a 302 redirects.
    const HttpReply reply = HttpGet(url);
    EXPECT_FALSE(reply);
    // The step and the system's decimal error code, or the refused URL.
    const std::string lead =
        step.empty() ? "Failed to parse URL: " + url : step + " failed with Windows error ";
    EXPECT_EQ(reply.error.substr(0, lead.size()), lead);
    const std::string code = reply.error.substr(std::min(lead.size(), reply.error.size()));
    EXPECT_EQ(code.empty(), step.empty()) << reply.error;
    EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << reply.error;
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.body, "");
    if (url.find("/secret") == std::string::npos) continue;
    ASSERT_EQ(RequestsUnder(kTlsTarget).size(), ++handshakes) << "plain text sent";
  }
  EXPECT_EQ(RequestsUnder(Path("hop")).size(), 11u) << "ten redirects are followed";
}

TEST_F(HttpClient, A307RepeatsThePostWithItsBodyAndA302TurnsItIntoAGetWithoutBody) {
  ScriptPeer({{"path", Path("target")}, {"body", "arrived"}});
  // The Location may name the path alone or the whole URL.
  const struct {
    int status;
    std::string location, method, body, contentType;
  } cases[] = {
      {307, Path("target?from=307"), "POST", "{\"b\":2}", "application/json"},
      {302, Url("target?from=302"), "GET", "", ""},
  };
  for (const auto& c : cases) {
    // Wine's WinHTTP fails a POST that a 302 redirects (error 12019) instead of making it a GET.
    if (c.status == 302 && RunningUnderWine()) continue;
    const std::string from = std::to_string(c.status);
    ScriptPeer(Redirect(Path(from), c.status, c.location));
    const HttpReply reply = HttpPostJson(Url(from), "{\"b\":2}");
    ASSERT_TRUE(reply) << reply.error;
    EXPECT_EQ(reply.body, "arrived");
    const RecordedRequest request = OnlyRequestUnder(Path("target?from=" + from));
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(HeaderValue(request, "Content-Type"), c.contentType);
  }
}

TEST_F(HttpClient, ConcurrentCallsKeepTheirOwnReplies) {
  constexpr int kThreads = 6;
  std::vector<HttpReply> replies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    const std::string name = "c" + std::to_string(i);
    ScriptPeer({{"path", Path(name)}, {"body", name}, {"chunkSize", 3}, {"chunkDelayMs", 1}});
    threads.emplace_back([&, i, name] { replies[i] = HttpPostJson(Url(name), "{}"); });
  }
  for (int i = 0; i < kThreads; ++i) {
    threads[i].join();
    EXPECT_EQ(replies[i].body + replies[i].error, "c" + std::to_string(i));
  }
}

// The overall limit: a reply that trickles in steadily enough to pass every per-receive
// time-out is still cut off.
TEST_F(HttpClient, AReplyTricklingPastTheRequestLimitFailsAndOneWithinItArrives) {
  // 40 bytes, one every 100 ms: about 4 s in all.
  ScriptPeer({{"path", Path("slow")}, {"bodySize", 40}, {"chunkSize", 1}, {"chunkDelayMs", 100}});
  const auto start = std::chrono::steady_clock::now();
  const HttpReply cut = HttpGet(Url("slow"), 1000);
  EXPECT_FALSE(cut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(cut.error.empty());
  EXPECT_EQ(HttpGet(Url("slow"), 30000).body, Patterned(40));
}

TEST(ParseUrl, AcceptsAndRefusesTheSameUrlsOnEveryPlatform) {
  const std::string host255(255, 'h'), path2047 = "/" + std::string(2046, 'p');
  const std::string query2047 = "?" + std::string(2046, 'q');
  const struct {
    std::string url;
    std::u16string host;
    uint16_t port;
    std::u16string path;
    bool secure = false;
  } cases[] = {
      {"http://example.com", u"example.com", 80, u"/"},
      {"http://127.0.0.1:65535/", u"127.0.0.1", 65535, u"/"},
      {"HTTPS://Example.com/x", u"Example.com", 443, u"/x", true},
      {"Https://h/", u"h", 443, u"/", true},
      {"HTTP://h/p", u"h", 80, u"/p"},
      {"http://user:secret@h/p", u"h", 80, u"/p"},
      {"http://h/p#part", u"h", 80, u"/p#part"},
      {"http://h/a%20b?c=%2F", u"h", 80, u"/a%20b?c=%2F"},
      {"http://h/caf\xC3\xA9?q=\xE2\x82\xAC", u"h", 80, u"/caf\u00E9?q=\u20AC"},
      {"http://" + host255 + "/", Utf8ToWide(host255), 80, u"/"},
      {"http://h" + path2047, u"h", 80, Utf8ToWide(path2047)},
      {"http://h/p" + query2047, u"h", 80, Utf8ToWide("/p" + query2047)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url.substr(0, 80));
    ParsedUrl parsed;
    std::string error = "untouched";
    ASSERT_TRUE(ParseUrl(c.url, parsed, error));
    EXPECT_EQ(error, "untouched");
    EXPECT_TRUE(parsed.host == c.host && parsed.path == c.path);
    EXPECT_EQ(parsed.port, c.port);
    EXPECT_EQ(parsed.secure, c.secure);
  }
  for (const std::string& url :
       {""s, "ftp://example.com/file"s, "example.com/path"s, "localhost:8080/path"s,
        "mailto:someone@example.com"s, "gopher://h/\xC3\xA9"s, "http:/example.com"s,
        "http//example.com"s, "http://"s, "http://h:65536/"s, "http://" + host255 + "h/",
        "http://h" + path2047 + "p", "http://h/p" + query2047 + "q"}) {
    ParsedUrl parsed;
    parsed.host = u"kept";
    std::string error;
    EXPECT_FALSE(ParseUrl(url, parsed, error)) << url;
    EXPECT_EQ(error, "Failed to parse URL: " + url);
    EXPECT_TRUE(parsed.host == u"kept") << "a refused URL leaves the record alone";
  }
}

} // namespace

} // namespace tideloom
