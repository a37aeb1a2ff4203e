// The command line of tideloom-relay and the key list it reads.
#include <fstream>

#include "relay/relay_options.h"
#include "relay_test_fixture.h"

TEST(RelayOptions, DefaultsAndEveryOptionInBothSpellings) {
  const RelayOptions defaults =
      ParseRelayOptions({}).options; // the plug-in version shows in the docs test
  EXPECT_EQ(defaults.host, "127.0.0.1");
  EXPECT_EQ(defaults.port, 8787);
  EXPECT_EQ(defaults.dataDir, "relay-data");
  const RelayOptionsResult result = ParseRelayOptions(
      {"--host", "0.0.0.0", "--port=0", "--data", "/tmp/d", "--plugin-version=2.0.0", "--keys",
       "k.txt", "--hold", "/api/bridge/command/next:5", "--hold=/api/live/*:0.5", "--help"});
  ASSERT_EQ(result.error, "");
  const RelayOptions& o = result.options;
  EXPECT_EQ(o.host, "0.0.0.0");
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.dataDir, "/tmp/d");
  EXPECT_EQ(o.pluginVersion, "2.0.0");
  EXPECT_EQ(*o.keysFile, "k.txt");
  ASSERT_EQ(o.holds.size(), 2u);
  EXPECT_EQ(o.holds[0].route, "/api/bridge/command/next");
  EXPECT_EQ(o.holds[0].seconds, 5);
  EXPECT_EQ(o.holds[1].route, "/api/live/*");
  EXPECT_EQ(o.holds[1].seconds, 0.5);
  EXPECT_TRUE(o.showHelp);
}

TEST(RelayOptions, MistakesAreReportedNotGuessed) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--port", "70000"}, {"--port", "80x"},    {"--port"},          {"--verbose"},
      {"stray"},           {"--hold", "5"},      {"--hold", "/a:-1"}, {"--hold", "a:5"},
      {"--hold", "/a:"},   {"--hold", "/a:601"}, {"--data="},         {"--host", ""},
  };
  for (const auto& args : wrong) {
    EXPECT_NE(ParseRelayOptions(args).error, "")
        << args[0] << (args.size() > 1 ? " " + args[1] : "");
  }
}

TEST(RelayOptions, UrlsBracketIpv6Hosts) { EXPECT_EQ(RelayUrl("::1", 9000), "http://[::1]:9000"); }

TEST(AcceptedKeysFile, OneKeyPerLineIgnoringBlanksAndEmptyLines) {
  TemporaryFolder folder;
  const auto file = folder.path / "keys.txt";
  std::ofstream(file, std::ios::binary) << "alpha\r\n\n  beta \n\t\ngamma";
  const auto keys = LoadAcceptedKeys(file);
  ASSERT_TRUE(keys);
  EXPECT_EQ(*keys, (std::set<std::string>{"alpha", "beta", "gamma"}));
  EXPECT_FALSE(LoadAcceptedKeys(folder.path / "missing.txt"));
}
