// A restarted relay picks up where it stopped: queues, in-flight commands and the event log.
#include <sqlite3.h>

#include "relay_test_fixture.h"

using nlohmann::json;

TEST_F(RelayTest, RestartKeepsQueuedAndInFlightCommandsAndTheLog) {
  const std::string inFlight = Queue({{"licenseKey", "K1"}, {"type", "GET_SCHEMA"}});
  const std::string waiting = Queue({{"licenseKey", "K1"},
                                     {"type", "SET_CLIPBOARD"},
                                     {"xmlType", "XMSC"},
                                     {"xmlContent", "<x/>"}});
  Poll("K1");
  const long long lastSeq = Events().back().at("seq");

  StartRelay(); // closes the store and opens the same folder again

  EXPECT_EQ(Command(inFlight).at("state"), "in_flight");
  const json next = Poll("K1").json().at("command");
  EXPECT_EQ(next.at("id"), waiting);
  EXPECT_EQ(next.at("xmlContent"), "<x/>");
  EXPECT_EQ(Complete(inFlight, {{"licenseKey", "K1"}, {"status", "completed"}}).status, 200);

  // New ids and sequence numbers continue after the old ones.
  const std::string later = Queue({{"licenseKey", "K1"}, {"type", "LIST_FILES"}});
  EXPECT_GT(std::stoll(later), std::stoll(waiting));
  const json events = Events();
  EXPECT_EQ(events.front().at("seq"), 1);
  EXPECT_EQ(Events(lastSeq).front().at("seq"), lastSeq + 1);
  const json first = Get("/dev/events?since=" + std::to_string(lastSeq) + "&limit=1").json();
  EXPECT_EQ(first.at("events").size(), 1u);
  EXPECT_EQ(first.at("last"), lastSeq + 1);
  EXPECT_EQ(Get("/dev/events?since=-1").status, 400);
}

// Earlier relays kept a command's XML in its row; their files must still hand it out.
TEST_F(RelayTest, ContentsKeptInTheCommandRowOfAnEarlierRelayAreHandedOut) {
  const std::string id = Queue({{"licenseKey", "K1"}, {"type", "SET_CLIPBOARD"}});
  StopRelay();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((data.path / "relay-data" / "relay.db").string().c_str(), &db), SQLITE_OK);
  EXPECT_EQ(
      sqlite3_exec(db, "UPDATE commands SET xml_content = '<old/>'", nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  StartRelay();
  EXPECT_EQ(Poll("K1").json().at("command").at("xmlContent"), "<old/>");
  EXPECT_EQ(Command(id).at("xmlContent"), "<old/>");
}
