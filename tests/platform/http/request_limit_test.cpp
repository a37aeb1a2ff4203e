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
  std::string reply;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(HttpGet(PeerUrl(prefix + "/slow"), reply, error, nullptr, 1000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(HttpGet(PeerUrl(prefix + "/slow"), reply, error, nullptr, 30000)) << error;
  EXPECT_EQ(reply, std::string(40, 'x'));
}

} // namespace

} // namespace tideloom
