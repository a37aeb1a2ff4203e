// How both back ends make room for a reply's body.
#pragma once

#include <cstdint>
#include <string>

namespace tideloom {

// Reserves room for the body the reply announced, so that a command's payload of many megabytes
// is neither moved nor copied while it arrives. The announcement is only a hint: beyond 1 GiB,
// or when the memory is not there, the body grows as it arrives instead.
void ReserveAnnouncedBody(std::string& body, uint64_t announcedLength);

} // namespace tideloom
