// The client against a real server on loopback: the bytes on the wire, the reply as received,
// and the message for each way an exchange can fail.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "peer_client.h"
#include "platform/http.h"
#include "running_under_wine.h"

namespace {

using nlohmann::json;

// step + " failed with Windows error " + a decimal code.
void ExpectStepFailure(const std::string& error, const std::string& step) {
  const std::string lead = step + " failed with Windows error ";
  ASSERT_EQ(error.substr(0, lead.size()), lead) << error;
  const std::string code = error.substr(lead.size());
  EXPECT_FALSE(code.empty());
  EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << error;
}

constexpr const char* kSendStep = "WinHttpSendRequest/WinHttpReceiveResponse";
constexpr const char* kReadStep = "WinHttpReadData";

class HttpClient : public testing::Test {
protected:
  std::string prefix = UniquePrefix(), reply = "previous reply", error = "previous error";
  int status = -1;

  std::string Path(const std::string& name) const { return prefix + "/" + name; }

  bool Post(const std::string& name, const std::string& body, const std::string& type = "") {
    return HttpRequest("POST", PeerUrl(Path(name)), type, body, reply, error, &status);
  }

  RecordedRequest OnlyRequest() const { return OnlyRequestUnder(prefix); }

  void ExpectFailedUntouched() {
    EXPECT_EQ(reply, "previous reply");
    EXPECT_EQ(status, -1);
  }
};

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

TEST_F(HttpClient, JsonPostSendsTheBodyWithOnlyContentTypeAndReturnsTheReply) {
  ScriptPeer({{"path", Path("ingest")}, {"status", 201}, {"body", "{\"ok\":true}"}});
  const std::string body = "{\"name\":\"caf\xC3\xA9\"}";
  ASSERT_TRUE(HttpPostJson(PeerUrl(Path("ingest") + "?key=a%20b&x=1"), body, reply, error, &status))
      << error;
  EXPECT_EQ(reply, "{\"ok\":true}");
  EXPECT_EQ(status, 201);
  EXPECT_EQ(error, "previous error");

  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, Path("ingest") + "?key=a%20b&x=1");
  EXPECT_EQ(request.body, body);
  EXPECT_EQ(HeaderValue(request, "Content-Type"), "application/json");
  EXPECT_EQ(HeaderValue(request, "Content-Length"), std::to_string(body.size()));
  EXPECT_FALSE(HasHeader(request, "Accept"));
  EXPECT_FALSE(HasHeader(request, "Expect"));
  ExpectOnlyNecessaryHeaders(request);
}

TEST_F(HttpClient, GetAndEmptyPostCarryNoContentTypeAndNoBody) {
  ASSERT_TRUE(HttpGet(PeerUrl(Path("next")), reply, error, &status)) << error;
  EXPECT_EQ(reply, "peer default reply");
  ASSERT_TRUE(Post("empty", "")) << error;

  const std::vector<RecordedRequest> requests = RequestsUnder(prefix);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(HeaderValue(requests[1], "Content-Length"), "0");
  for (const RecordedRequest& request : requests) {
    EXPECT_TRUE(request.body.empty());
    EXPECT_FALSE(HasHeader(request, "Content-Type"));
    ExpectOnlyNecessaryHeaders(request);
  }
}

TEST_F(HttpClient, BodiesTravelByteForByteInBothDirections) {
  std::string everyByte;
  for (int i = 0; i < 256; ++i)
    everyByte += static_cast<char>(i);
  const std::string withNuls("reply\0with\0NULs\0", 16);
  ScriptPeer({{"path", Path("bytes")}, {"bodyHex", Hex(withNuls)}});
  ASSERT_TRUE(Post("bytes", everyByte + everyByte, "application/octet-stream")) << error;
  EXPECT_EQ(reply, withNuls);
  EXPECT_EQ(OnlyRequest().body, everyByte + everyByte);
}

TEST_F(HttpClient, AnyStatusYieldsItsBodyAndAnEmptyBodyReplacesTheReply) {
  for (const auto& [code, body] :
       {std::pair{404, "<html>Not here</html>"}, {500, "boom"}, {200, ""}}) {
    const std::string name = std::to_string(code);
    ScriptPeer({{"path", Path(name)}, {"status", code}, {"body", body}});
    ASSERT_TRUE(Post(name, "x")) << error;
    EXPECT_EQ(reply, body);
    EXPECT_EQ(status, code);
  }
  EXPECT_EQ(error, "previous error");
}

TEST_F(HttpClient, LargeSlowAndCloseDelimitedBodiesArriveWhole) {
  constexpr std::size_t kLarge = 8 * 1024 * 1024 + 17;
  ScriptPeer({{"path", Path("large")}, {"bodySize", kLarge}, {"chunkSize", 100000}});
  ScriptPeer(
      {{"path", Path("slow")}, {"bodySize", 5000}, {"chunkSize", 500}, {"chunkDelayMs", 20}});
  ScriptPeer(
      {{"path", Path("unsized")}, {"body", "until the connection closes"}, {"contentLength", -1}});

  std::string expected(kLarge, '\0');
  for (std::size_t i = 0; i < kLarge; ++i)
    expected[i] = static_cast<char>(i % 251);
  ASSERT_TRUE(Post("large", "x")) << error;
  EXPECT_TRUE(reply == expected) << "got " << reply.size() << " bytes";
  ASSERT_TRUE(Post("slow", "x")) << error;
  EXPECT_TRUE(reply == expected.substr(0, 5000));
  ASSERT_TRUE(Post("unsized", "x")) << error;
  EXPECT_EQ(reply, "until the connection closes");
}

TEST_F(HttpClient, ACutReplyAHangupOrNothingListeningFailsAtItsStep) {
  ScriptPeer({{"path", Path("cut")}, {"body", std::string(1000, 'a')}, {"sendBytes", 10}});
  ScriptPeer({{"path", Path("hangup")}, {"closeWithoutReply", true}});
  const int freePort = FreePort();
  ASSERT_NE(freePort, 0);
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(freePort) + "/x";
  for (const auto& [url, step] : {std::pair{PeerUrl(Path("cut")), kReadStep},
                                  {PeerUrl(Path("hangup")), kSendStep},
                                  {nowhere, kSendStep}}) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(HttpRequest("POST", url, "", "payload", reply, error, &status));
    ExpectStepFailure(error, step);
    ExpectFailedUntouched();
  }
}

TEST_F(HttpClient, AnUnacceptableUrlFailsBeforeAnyNetworkActivity) {
  const std::string port = std::to_string(TIDELOOM_HTTP_PEER_PORT);
  for (const std::string& url :
       {"ftp://127.0.0.1:" + port + prefix, "127.0.0.1:" + port + prefix,
        "http://127.0.0.1:" + port + prefix + "/" + std::string(2100, 'p')}) {
    error.clear();
    EXPECT_FALSE(HttpRequest("POST", url, "application/json", "{}", reply, error, &status));
    EXPECT_EQ(error, "Failed to parse URL: " + url);
  }
  ExpectFailedUntouched();
  EXPECT_TRUE(RequestsUnder(prefix).empty());
}

json Redirect(int status, const std::string& location) {
  return {{"status", status}, {"headers", json::array({json::array({"Location", location})})}};
}

TEST_F(HttpClient, A307RepeatsThePostWithItsBodyAndA302TurnsItIntoAGetWithoutBody) {
  ScriptPeer({{"path", Path("target")}, {"status", 200}, {"body", "arrived"}});
  json kept = Redirect(307, Path("target") + "?again=1");
  kept["path"] = Path("kept");
  ScriptPeer(kept);
  ASSERT_TRUE(Post("kept", "{\"b\":2}", "application/json")) << error;
  EXPECT_EQ(reply, "arrived");
  std::vector<RecordedRequest> requests = RequestsUnder(prefix);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].target, Path("target") + "?again=1");
  EXPECT_EQ(requests[1].body, "{\"b\":2}");
  EXPECT_EQ(HeaderValue(requests[1], "Content-Type"), "application/json");

  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's WinHTTP fails a POST that a 302 redirects (error 12019) instead "
                    "of following it with a GET";
  }
  json moved = Redirect(302, PeerUrl(Path("target")));
  moved["path"] = Path("moved");
  ScriptPeer(moved);
  ASSERT_TRUE(Post("moved", "{\"a\":1}", "application/json")) << error;
  EXPECT_EQ(reply, "arrived");
  EXPECT_EQ(status, 200);
  requests = RequestsUnder(prefix);
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[3].method, "GET");
  EXPECT_EQ(requests[3].target, Path("target"));
  EXPECT_TRUE(requests[3].body.empty());
  EXPECT_FALSE(HasHeader(requests[3], "Content-Type"));
}

TEST_F(HttpClient, TenRedirectsAreFollowedAndAnEleventhFails) {
  auto chain = [&](const std::string& name, int hops) {
    for (int i = 0; i < hops; ++i) {
      const std::string next = i + 1 == hops ? name + "-end" : name + std::to_string(i + 1);
      json hop = Redirect(302, Path(next));
      hop["path"] = Path(i == 0 ? name : name + std::to_string(i));
      ScriptPeer(hop);
    }
    ScriptPeer({{"path", Path(name + "-end")}, {"body", "end of " + name}});
  };
  chain("ten", 10);
  chain("eleven", 11);
  ASSERT_TRUE(HttpGet(PeerUrl(Path("ten")), reply, error, &status)) << error;
  EXPECT_EQ(reply, "end of ten");
  reply = "previous reply";
  status = -1;
  EXPECT_FALSE(HttpGet(PeerUrl(Path("eleven")), reply, error, &status));
  ExpectStepFailure(error, kSendStep);
  ExpectFailedUntouched();
}

TEST_F(HttpClient, HttpsInAnyLetterCaseSpeaksTlsFromTheFirstByte) {
  for (const std::string scheme : {"https", "HTTPS", "Https"}) {
    SCOPED_TRACE(scheme);
    const int port = OpenRawListener();
    ASSERT_NE(port, 0);
    reply = "previous reply";
    status = -1;
    EXPECT_FALSE(HttpPostJson(scheme + "://127.0.0.1:" + std::to_string(port) + "/secret",
                              "{\"licenseKey\":\"k\"}", reply, error, &status));
    const std::string first = RawFirstBytes(port);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(static_cast<unsigned char>(first[0]), 0x16) << "plain text sent: " << first;
    ExpectStepFailure(error, kSendStep);
    ExpectFailedUntouched();
  }
}

TEST_F(HttpClient, ConcurrentCallsKeepTheirOwnReplies) {
  constexpr int kThreads = 6;
  for (int i = 0; i < kThreads; ++i) {
    ScriptPeer({{"path", Path("c" + std::to_string(i))},
                {"body", "reply " + std::to_string(i)},
                {"chunkSize", 3},
                {"chunkDelayMs", 1}});
  }
  std::vector<std::string> replies(kThreads);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      if (!HttpPostJson(PeerUrl(Path("c" + std::to_string(i))), "{}", replies[i], errors[i])) {
        errors[i] += " (failed)";
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (int i = 0; i < kThreads; ++i)
    EXPECT_EQ(replies[i] + errors[i], "reply " + std::to_string(i));
}

} // namespace
