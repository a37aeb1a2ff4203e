// The client against a real server on loopback, the same cases for curl and for WinHTTP: the
// bytes on the wire, the reply as received, and the message for each way an exchange can fail.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "peer_client.h"
#include "platform/http.h"
#include "running_under_wine.h"

namespace tideloom {

namespace {

using nlohmann::json;

constexpr const char* kSendStep = "WinHttpSendRequest/WinHttpReceiveResponse";
constexpr const char* kReadStep = "WinHttpReadData";

// GETs and JSON posts go through the wrappers the functions call; the rest through the request.
HttpReply Send(const std::string& method, const std::string& url, const std::string& type,
               const std::string& body) {
  if (method == "GET") return HttpGet(url);
  if (type == "application/json") return HttpPostJson(url, body);
  return HttpRequest(method, url, type, body);
}

json Redirect(const std::string& path, int status, const std::string& location) {
  return {{"path", path},
          {"status", status},
          {"headers", json::array({json::array({"Location", location})})}};
}

// step + " failed with Windows error " + a decimal code.
void ExpectStepFailure(const std::string& error, const std::string& step) {
  const std::string lead = step + " failed with Windows error ";
  ASSERT_EQ(error.substr(0, lead.size()), lead) << error;
  const std::string code = error.substr(lead.size());
  EXPECT_FALSE(code.empty());
  EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << error;
}

// Only what HTTP itself needs may accompany the Content-Type header.
void ExpectOnlyNecessaryHeaders(const RecordedRequest& request) {
  static const std::set<std::string> kAllowed = {"host", "user-agent", "content-length",
                                                 "content-type", "connection"};
  for (const auto& [name, value] : request.headers) {
    std::string lower = name;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(kAllowed.count(lower) != 0) << "unexpected header " << name << ": " << value;
  }
  EXPECT_EQ(HeaderValue(request, "User-Agent"), "TideLoom/1.0");
}

using HttpClient = PeerTest;

TEST_F(HttpClient, TheRequestGoesOutByteForByteAndAnyReplyComesBackWhole) {
  struct Case {
    std::string name, query;
    json script;                           // the peer's answer; empty for its default
    std::string method, contentType, body; // sent; "" for no Content-Type header
    std::string reply;
    int status;
  };
  std::string everyByte;
  for (int i = 0; i < 256; ++i)
    everyByte += static_cast<char>(i);
  const std::string withNuls("reply\0with\0NULs\0", 16);
  const std::string cafe = "{\"name\":\"caf\xC3\xA9\"}";
  constexpr std::size_t kLarge = 8 * 1024 * 1024 + 17;
  std::string large(kLarge, '\0');
  for (std::size_t i = 0; i < kLarge; ++i)
    large[i] = static_cast<char>(i % 251);
  const std::string deflt = "peer default reply";
  const std::string jsonType = "application/json", octets = "application/octet-stream";
  const std::vector<Case> cases = {
      {"ingest",
       "?key=a%20b&x=1",
       {{"status", 201}, {"body", "{\"ok\":true}"}},
       "POST",
       jsonType,
       cafe,
       "{\"ok\":true}",
       201},
      {"next", "", {}, "GET", "", "", deflt, 200},
      {"empty", "", {}, "POST", "", "", deflt, 200},
      {"bytes", "", {{"body", withNuls}}, "POST", octets, everyByte, withNuls, 200},
      // Any status yields its body, and an empty body replaces the reply.
      {"404",
       "",
       {{"status", 404}, {"body", "<html>Not here</html>"}},
       "POST",
       "",
       "x",
       "<html>Not here</html>",
       404},
      {"500", "", {{"status", 500}, {"body", "boom"}}, "POST", "", "x", "boom", 500},
      {"200", "", {{"body", ""}}, "POST", "", "x", "", 200},
      // Large, slow and close-delimited bodies arrive whole.
      {"large", "", {{"bodySize", kLarge}, {"chunkSize", 100000}}, "POST", "", "x", large, 200},
      {"slow",
       "",
       {{"bodySize", 5000}, {"chunkSize", 500}, {"chunkDelayMs", 20}},
       "POST",
       "",
       "x",
       large.substr(0, 5000),
       200},
      {"unsized",
       "",
       {{"body", "until the connection closes"}, {"contentLength", -1}},
       "POST",
       "",
       "x",
       "until the connection closes",
       200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.script.empty()) {
      json script = c.script;
      script["path"] = Path(c.name);
      ScriptPeer(script);
    }
    const HttpReply reply = Send(c.method, Url(c.name) + c.query, c.contentType, c.body);
    ASSERT_TRUE(reply) << reply.error;
    EXPECT_TRUE(reply.body == c.reply) << "got " << reply.body.size() << " bytes";
    EXPECT_EQ(reply.status, c.status);

    const RecordedRequest request = OnlyRequestUnder(Path(c.name));
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.target, Path(c.name) + c.query);
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(HeaderValue(request, "Content-Type"), c.contentType);
    EXPECT_EQ(HasHeader(request, "Content-Type"), !c.contentType.empty());
    if (c.method == "POST") {
      EXPECT_EQ(HeaderValue(request, "Content-Length"), std::to_string(c.body.size()));
    }
    ExpectOnlyNecessaryHeaders(request);
  }
}

TEST_F(HttpClient, EachWayAnExchangeFailsNamesItsStepAndLeavesTheOutputsAlone) {
  ScriptPeer({{"path", Path("cut")}, {"body", std::string(1000, 'a')}, {"sendBytes", 10}});
  ScriptPeer({{"path", Path("hangup")}, {"closeWithoutReply", true}});
  for (int i = 0; i < 11; ++i) {
    ScriptPeer(Redirect(Path("hop" + std::to_string(i)), 302, Path("hop" + std::to_string(i + 1))));
  }
  const int freePort = FreePort();
  ASSERT_NE(freePort, 0);
  const std::string peer = "127.0.0.1:" + std::to_string(TIDELOOM_HTTP_PEER_PORT);
  const std::string unparsed = Path("unparsed");
  // The step that fails, or "" when the URL itself is refused before any network activity.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Url("cut"), kReadStep},
      {Url("hangup"), kSendStep},
      {"http://127.0.0.1:" + std::to_string(freePort) + "/x", kSendStep},
      {Url("hop0"), kSendStep}, // the eleventh redirect
      // TLS from the first byte, whatever the scheme's letter case.
      {"https://" + peer + "/secret", kSendStep},
      {"HTTPS://" + peer + "/secret", kSendStep},
      {"Https://" + peer + "/secret", kSendStep},
      {"ftp://" + peer + unparsed, ""},
      {peer + unparsed, ""},
      {"http://" + peer + unparsed + "/" + std::string(2100, 'p'), ""},
  };
  std::size_t handshakes = RequestsUnder(kTlsTarget).size();
  for (const auto& [url, step] : cases) {
    SCOPED_TRACE(url.substr(0, 80));
    // A GET, since Wine's WinHTTP fails a POST that a 302 redirects.
    const HttpReply reply = HttpGet(url);
    EXPECT_FALSE(reply);
    if (step.empty()) {
      EXPECT_EQ(reply.error, "Failed to parse URL: " + url);
    } else {
      ExpectStepFailure(reply.error, step);
    }
    EXPECT_EQ(reply.status, 0);
    EXPECT_EQ(reply.body, "");
    if (url.find("/secret") == std::string::npos) continue;
    const std::vector<RecordedRequest> tls = RequestsUnder(kTlsTarget);
    ASSERT_EQ(tls.size(), ++handshakes) << "plain text sent";
    EXPECT_EQ(tls.back().body.substr(0, 1), "\x16");
  }
  EXPECT_EQ(RequestsUnder(Path("hop")).size(), 11u) << "ten redirects are followed";
  EXPECT_TRUE(RequestsUnder(unparsed).empty());
}

TEST_F(HttpClient, A307RepeatsThePostWithItsBodyAndA302TurnsItIntoAGetWithoutBody) {
  ScriptPeer({{"path", Path("target")}, {"body", "arrived"}});
  // The Location may name the path alone or the whole URL.
  ScriptPeer(Redirect(Path("kept"), 307, Path("target") + "?from=kept"));
  ScriptPeer(Redirect(Path("moved"), 302, Url("target") + "?from=moved"));
  const HttpReply kept = HttpPostJson(Url("kept"), "{\"b\":2}");
  ASSERT_TRUE(kept) << kept.error;
  EXPECT_EQ(kept.body, "arrived");
  std::vector<RecordedRequest> requests = RequestsUnder(Path("target"));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].target, Path("target") + "?from=kept");
  EXPECT_EQ(requests[0].body, "{\"b\":2}");
  EXPECT_EQ(HeaderValue(requests[0], "Content-Type"), "application/json");

  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinHTTP fails a POST that a 302 redirects (error 12019) instead "
                    "of following it with a GET";
  }
  const HttpReply moved = HttpPostJson(Url("moved"), "{\"a\":1}");
  ASSERT_TRUE(moved) << moved.error;
  EXPECT_EQ(moved.body, "arrived");
  EXPECT_EQ(moved.status, 200);
  requests = RequestsUnder(Path("target"));
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].method, "GET");
  EXPECT_EQ(requests[1].target, Path("target") + "?from=moved");
  EXPECT_TRUE(requests[1].body.empty());
  EXPECT_FALSE(HasHeader(requests[1], "Content-Type"));
}

TEST_F(HttpClient, ConcurrentCallsKeepTheirOwnReplies) {
  constexpr int kThreads = 6;
  for (int i = 0; i < kThreads; ++i) {
    ScriptPeer({{"path", Path("c" + std::to_string(i))},
                {"body", "reply " + std::to_string(i)},
                {"chunkSize", 3},
                {"chunkDelayMs", 1}});
  }
  std::vector<HttpReply> replies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] { replies[i] = HttpPostJson(Url("c" + std::to_string(i)), "{}"); });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int i = 0; i < kThreads; ++i)
    EXPECT_EQ(replies[i].body + replies[i].error, "reply " + std::to_string(i));
}

} // namespace

} // namespace tideloom
