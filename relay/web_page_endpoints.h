// The page at "/" for people building against the bridge, and the files it loads.
#pragma once

#include "relay/relay_reply.h"

Reply HandleWebPage(RelayContext& context, const httplib::Request& request);
Reply HandleWebAsset(RelayContext& context, const httplib::Request& request);
