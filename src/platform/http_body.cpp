#include "platform/http_body.h"

namespace tideloom {

namespace {

// No server can make the plug-in set aside more than this for a body it never sends.
constexpr uint64_t kMostReservedBody = uint64_t{1} << 30;

} // namespace

void ReserveAnnouncedBody(std::string& body, uint64_t announcedLength) {
  if (announcedLength > kMostReservedBody) return;
  try {
    body.reserve(static_cast<std::size_t>(announcedLength));
  } catch (...) {
    // Without the room the body still arrives.
  }
}

} // namespace tideloom
