// The development switch that leaves chosen requests unanswered for a while, so that a client's
// time-outs and shutdown can be watched. Rules can change while requests are held; a held request
// looks at the current rule each time it wakes, and every hold ends at once when the relay stops.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

// Longer holds would only keep a worker and a client's connection busy for nothing.
inline constexpr double kMaxHoldSeconds = 600;

struct HoldRule {
  std::string route; // an exact path, or a prefix followed by '*'
  double seconds = 0;
};

struct HoldTable {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<HoldRule> rules;
  std::size_t heldNow = 0;
  bool stopping = false;
};

bool HoldRouteMatches(const std::string& route, const std::string& path);

// Replaces the rule for the same route; zero seconds removes it.
void SetHoldRule(HoldTable& table, const HoldRule& rule);
std::vector<HoldRule> HoldRules(HoldTable& table);
std::size_t HeldRequestCount(HoldTable& table);

// Blocks the calling request thread while a rule for `path` says so. Only the bridge's routes
// under /api/ are ever held: the page and /dev/ must stay able to see and lift a hold.
void HoldIfRequested(HoldTable& table, const std::string& path);

// Wakes every held request and makes later ones pass straight through.
void ReleaseAllHolds(HoldTable& table);
