#include "relay/relay_holds.h"

#include <algorithm>
#include <chrono>
#include <string_view>

namespace {

const HoldRule* FindMatchingRule(const std::vector<HoldRule>& rules, const std::string& path) {
  for (const HoldRule& rule : rules) {
    if (HoldRouteMatches(rule.route, path)) return &rule;
  }
  return nullptr;
}

} // namespace

bool HoldRouteMatches(const std::string& route, const std::string& path) {
  if (!route.empty() && route.back() == '*') {
    return std::string_view(path).starts_with(std::string_view(route).substr(0, route.size() - 1));
  }
  return route == path;
}

void SetHoldRule(HoldTable& table, const HoldRule& rule) {
  {
    std::lock_guard lock(table.mutex);
    std::erase_if(table.rules, [&](const HoldRule& r) { return r.route == rule.route; });
    if (rule.seconds > 0) table.rules.push_back(rule);
  }
  table.changed.notify_all();
}

std::vector<HoldRule> HoldRules(HoldTable& table) {
  std::lock_guard lock(table.mutex);
  return table.rules;
}

std::size_t HeldRequestCount(HoldTable& table) {
  std::lock_guard lock(table.mutex);
  return table.heldNow;
}

void HoldIfRequested(HoldTable& table, const std::string& path) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point arrived = Clock::now();
  if (!path.starts_with("/api/")) return;
  std::unique_lock lock(table.mutex);
  if (table.stopping || FindMatchingRule(table.rules, path) == nullptr) return;
  ++table.heldNow;
  while (!table.stopping) {
    const HoldRule* rule = FindMatchingRule(table.rules, path);
    if (rule == nullptr) break;
    const auto until =
        arrived + std::chrono::duration_cast<Clock::duration>(
                      std::chrono::duration<double>(std::min(rule->seconds, kMaxHoldSeconds)));
    if (Clock::now() >= until) break;
    table.changed.wait_until(lock, until);
  }
  --table.heldNow;
}

void ReleaseAllHolds(HoldTable& table) {
  {
    std::lock_guard lock(table.mutex);
    table.stopping = true;
  }
  table.changed.notify_all();
}
