// The endpoints the plug-in's bridge calls. Every key-carrying one refuses unknown keys with 401
// when the relay was given a key list.
#pragma once

#include "relay/relay_reply.h"

Reply HandleRegister(RelayContext& context, const httplib::Request& request);
Reply HandleNextCommand(RelayContext& context, const httplib::Request& request);
Reply HandlePush(RelayContext& context, const httplib::Request& request);
Reply HandleCompletion(RelayContext& context, const httplib::Request& request);
Reply HandleDiagnostic(RelayContext& context, const httplib::Request& request);
// Streams the upload to disk, so memory does not grow with its size.
Reply HandleIngest(RelayContext& context, const httplib::Request& request,
                   const httplib::ContentReader& body);
Reply HandlePluginVersion(RelayContext& context, const httplib::Request& request);

// The command a pushed result most likely answers, judged by its xmlType.
std::vector<std::string> CommandTypesForPush(const std::string& xmlType);
