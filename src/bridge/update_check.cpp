#include "bridge/update_check.h"

#include <array>
#include <climits>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "bridge/background_task.h"
#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/service_protocol.h"
#include "hostapi/plugin_identity.h"
#include "platform/http.h"

namespace tideloom {

namespace {

struct UpdateCheckRelease {
  ~UpdateCheckRelease() { bridgeState().EndUpdateCheck(); }
};

// The value of the first "version":"…" in the reply, taken raw up to the next quote.
bool FindVersionValue(std::string_view reply, std::string& version) {
  constexpr std::string_view kPattern = "\"version\":\"";
  const std::size_t start = reply.find(kPattern);
  if (start == std::string_view::npos) return false;
  const std::size_t valueStart = start + kPattern.size();
  const std::size_t end = reply.find('"', valueStart);
  if (end == std::string_view::npos) return false;
  version = std::string(reply.substr(valueStart, end - valueStart));
  return true;
}

bool IsFormatSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One signed decimal number as "%d" reads it; out-of-range values saturate.
bool ReadNumber(std::string_view text, std::size_t& pos, int& number) {
  while (pos < text.size() && IsFormatSpace(text[pos]))
    ++pos;
  std::size_t at = pos;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (value <= INT_MAX) value = value * 10 + (text[at] - '0');
  }
  if (negative) value = -value;
  number = value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
  pos = at;
  return true;
}

// Reads "major.minor.patch" as the pattern "%d.%d.%d" would: components not read stay 0.
int ReadVersion(std::string_view text, std::array<int, 3>& parts) {
  parts = {0, 0, 0};
  std::size_t pos = 0;
  int count = 0;
  while (count < 3) {
    if (count > 0) {
      if (pos >= text.size() || text[pos] != '.') break;
      ++pos;
    }
    if (!ReadNumber(text, pos, parts[count])) break;
    ++count;
  }
  return count;
}

} // namespace

void StartUpdateCheck() {
  BridgeState& state = bridgeState();
  if (!state.ClaimUpdateCheck(steadyNowMs())) return;
  launchBackgroundTask([baseUrl = state.ReadCredentials().baseUrl] { RunVersionCheck(baseUrl); });
  // A launch that shutdown skipped never reaches the check's own release.
  if (state.ShuttingDown()) state.EndUpdateCheck();
}

void StartUpdateCheckIfDue() {
  if (bridgeState().UpdateCheckDue(steadyNowMs(), kUpdateCheckSpacingMs)) StartUpdateCheck();
}

void RunVersionCheck(const std::string& baseUrl) {
  const UpdateCheckRelease release;
  std::string url = baseUrl;
  url += kPluginVersionPath;
  const HttpReply reply = HttpGet(url);
  std::string version;
  if (!reply || !FindVersionValue(reply.body, version)) return;
  bridgeState().StoreLatestVersion(std::move(version));
}

std::string UpdateNotice() {
  const std::string latest = bridgeState().LatestVersion();
  if (latest.empty()) return {};
  std::array<int, 3> offered{};
  if (ReadVersion(latest, offered) < 2) return {};
  std::array<int, 3> running{};
  ReadVersion(kVersionText, running);
  // Lexicographic on the numbers: 1.10.0 is newer than 1.6.18.
  if (offered <= running) return {};
  return UpdateNoticeMessage(latest);
}

} // namespace tideloom
