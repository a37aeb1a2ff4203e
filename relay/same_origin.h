// The page and /dev/ answer only this relay's own page: any other web site the user visits could
// otherwise queue commands for the plug-in through a plain cross-site POST, and a DNS-rebinding
// page could read what arrived. The bridge's /api/ routes are left alone; the plug-in sends no
// Origin and bodies of its own types.
#pragma once

#include <optional>
#include <string_view>

#include "relay/relay_reply.h"

// A Host header naming this relay: its own address, localhost, 127.0.0.1 or [::1], with or
// without the port. Letter case is ignored, as in DNS.
bool IsOwnHost(std::string_view host, std::string_view ownAddress, int port);
// An Origin header of a page served by this relay: "http://" and an own host.
bool IsOwnOrigin(std::string_view origin, std::string_view ownAddress, int port);

// 403 for a foreign Host or Origin, 415 for a POST whose body is not declared JSON; else nullopt.
std::optional<Reply> RefuseCrossSiteRequest(const RelayContext& context,
                                            const httplib::Request& request);
