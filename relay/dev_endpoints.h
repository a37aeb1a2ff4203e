// Development endpoints: queue commands for a key, and look at everything the relay received.
#pragma once

#include "relay/relay_reply.h"
#include "relay/relay_store.h"

Reply HandleQueueCommand(RelayContext& context, const httplib::Request& request);
Reply HandleListCommands(RelayContext& context, const httplib::Request& request);
Reply HandleShowCommand(RelayContext& context, const httplib::Request& request);
// An in-flight command back to its queue, or failed: for when its plug-in will never answer.
Reply HandleRequeueCommand(RelayContext& context, const httplib::Request& request);
Reply HandleFailCommand(RelayContext& context, const httplib::Request& request);
Reply HandleListEvents(RelayContext& context, const httplib::Request& request);
Reply HandleListIngested(RelayContext& context, const httplib::Request& request);
Reply HandleIngestedFile(RelayContext& context, const httplib::Request& request);
Reply HandleListRegistrations(RelayContext& context, const httplib::Request& request);
Reply HandleShowHolds(RelayContext& context, const httplib::Request& request);
Reply HandleSetHold(RelayContext& context, const httplib::Request& request);

// The JSON shown for one received request: its body parsed when it is JSON, else as text.
Json EventView(const EventRecord& event);
