// The tests' side of the HTTP test peer: scripting its answers and reading what it received.
// The peer is a separate native program that ctest starts before these tests.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "peer/peer_protocol.h"

namespace tideloom {

struct RecordedRequest {
  std::string method;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// "http://127.0.0.1:<peer port>" + path.
std::string PeerUrl(const std::string& path);

// A path prefix no other test uses, so tests may run at the same time against one peer.
std::string UniquePrefix();

// The answer the peer gives to requests for script["path"]; see the peer for the members.
void ScriptPeer(const nlohmann::json& script);

// Every request the peer received whose target begins with `prefix`, in arrival order.
std::vector<RecordedRequest> RequestsUnder(const std::string& prefix);

// The one request received under `prefix`; a test failure when there is not exactly one.
RecordedRequest OnlyRequestUnder(const std::string& prefix);

// The value of a header, "" when absent; the name compares case-insensitively.
std::string HeaderValue(const RecordedRequest& request, const std::string& name);

// A loopback port where nothing listens.
int FreePort();

// Whether the tests run on Wine rather than on Windows or Linux, for the few behaviours in which
// Wine's system libraries differ from Windows.
bool RunningUnderWine();

// Each test gets a path prefix of its own.
class PeerTest : public testing::Test {
protected:
  std::string prefix = UniquePrefix();

  std::string Path(const std::string& name) const { return prefix + "/" + name; }
  std::string Url(const std::string& name) const { return PeerUrl(Path(name)); }
};

} // namespace tideloom
