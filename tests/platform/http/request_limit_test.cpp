// The overall limit on a request, on both back ends: a reply that trickles in steadily enough to
// pass every per-receive time-out is still cut off.
#include <gtest/gtest.h>

#include <chrono>

#include "peer_client.h"
#include "platform/http.h"

namespace tideloom {

namespace {

TEST(RequestLimit, AReplyTricklingPastTheLimitFailsAndOneWithinItArrives) {
  const std::string prefix = UniquePrefix();
  // 40 bytes, one every 100 ms: about 4 s in all.
  ScriptPeer({{"path", prefix + "/slow"},
              {"body", std::string(40, 'x')},
              {"chunkSize", 1},
              {"chunkDelayMs", 100}});
  const auto start = std::chrono::steady_clock::now();
  const HttpReply cut = HttpGet(PeerUrl(prefix + "/slow"), 1000);
  EXPECT_FALSE(cut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(cut.error.empty());
  const HttpReply whole = HttpGet(PeerUrl(prefix + "/slow"), 30000);
  EXPECT_TRUE(whole) << whole.error;
  EXPECT_EQ(whole.body, std::string(40, 'x'));
}

} // namespace

} // namespace tideloom
