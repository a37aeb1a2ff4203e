// What the HTTP back ends share beneath http.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/http.h"

namespace tideloom {

// Reserves room for the body the reply announced, so that a command's payload of many megabytes
// is neither moved nor copied while it arrives. The announcement is only a hint: beyond 1 GiB,
// or when the memory is not there, the body grows as it arrives instead.
void ReserveAnnouncedBody(std::string& body, uint64_t announcedLength);

// The one exchange each back end implements: the body is `source` when it is not null, else
// `body`. On success `reply` is replaced and `statusCode` set; on failure `error` says why.
bool ExchangeOverBackEnd(std::string_view method, std::string_view url,
                         std::string_view contentType, std::string_view body,
                         const BodySource* source, std::string& reply, std::string& error,
                         int* statusCode, int64_t limitMs);

} // namespace tideloom
