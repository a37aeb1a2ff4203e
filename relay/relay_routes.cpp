#include "relay/relay_routes.h"

#include <httplib.h>

#include <exception>
#include <regex>
#include <string_view>

#include "relay/bridge_endpoints.h"
#include "relay/dev_endpoints.h"
#include "relay/relay_messages.h"
#include "relay/relay_reply.h"
#include "relay/web_page_endpoints.h"

namespace {

struct Route {
  std::string_view method;
  const char* pattern; // matched against the whole decoded path
  Handler handle;
};

// Every endpoint once; installation and the wrong-method answer both read this table.
constexpr Route kRoutes[] = {
    {"POST", "/api/bridge/register", HandleRegister},
    {"GET", "/api/bridge/command/next", HandleNextCommand},
    {"POST", "/api/bridge/push", HandlePush},
    {"POST", R"(/api/bridge/command/([^/]+)/complete)", HandleCompletion},
    {"POST", "/api/bridge/diagnostic", HandleDiagnostic},
    {"POST", R"(/api/live/ingest/(.+))", HandleIngest},
    {"GET", "/api/plugin/version", HandlePluginVersion},
    {"POST", "/dev/commands", HandleQueueCommand},
    {"GET", "/dev/commands", HandleListCommands},
    {"GET", R"(/dev/commands/([^/]+))", HandleShowCommand},
    {"GET", "/dev/events", HandleListEvents},
    {"GET", "/dev/ingested", HandleListIngested},
    {"GET", R"(/dev/ingested/(.+))", HandleIngestedFile},
    {"GET", "/dev/registrations", HandleListRegistrations},
    {"GET", "/dev/hold", HandleShowHolds},
    {"POST", "/dev/hold", HandleSetHold},
    {"GET", "/", HandleWebPage},
    {"GET", R"(/([A-Za-z0-9_][A-Za-z0-9_.-]*))", HandleWebAsset},
};

std::string QueryText(const httplib::Request& request) {
  const std::size_t mark = request.target.find('?');
  return mark == std::string::npos ? std::string() : request.target.substr(mark + 1);
}

void Record(RelayContext& context, const httplib::Request& request, const Reply& reply) {
  EventRecord event;
  event.method = request.method;
  event.path = request.path;
  event.query = QueryText(request);
  event.kind = reply.kind;
  event.licenseKey = reply.licenseKey;
  event.commandId = reply.commandId;
  event.status = reply.status;
  if (reply.keepBody) event.body = request.body;
  event.bodySize = static_cast<std::int64_t>(request.body.size());
  event.error = reply.error;
  try {
    RecordEvent(*context.store, event);
  } catch (const std::exception&) {
    // The answer still goes out; a full disk must not turn a good request into a failed one.
  }
}

// Moves the body: a downloaded upload may be hundreds of megabytes.
void Send(Reply&& reply, httplib::Response& response) {
  response.status = reply.status;
  response.set_header("Content-Type", reply.contentType);
  response.body = std::move(reply.body);
}

// The one place where an endpoint's failure is caught.
void Respond(RelayContext& context, const httplib::Request& request, httplib::Response& response,
             Handler handle) {
  Reply reply;
  try {
    reply = handle(context, request);
  } catch (const std::exception& error) {
    reply = ErrorReply("error", 500, std::string(relay_text::kInternalError) + error.what());
  } catch (...) {
    reply = ErrorReply("error", 500, std::string(relay_text::kInternalError) + "unknown");
  }
  if (reply.record || reply.status >= 400) Record(context, request, reply);
  Send(std::move(reply), response);
}

// Requests no endpoint took: unknown paths, wrong methods, and those httplib turned away itself.
Reply Unrouted(const httplib::Request& request, int status, httplib::Response& response) {
  if (status == 404) {
    std::string allowed;
    for (const Route& route : kRoutes) {
      if (std::regex_match(request.path, std::regex(route.pattern))) {
        if (!allowed.empty()) allowed += ", ";
        allowed += route.method;
      }
    }
    if (!allowed.empty()) {
      response.set_header("Allow", allowed);
      return ErrorReply("unrouted", 405,
                        relay_text::MethodNotAllowed(request.method, request.path, allowed));
    }
    return ErrorReply("unrouted", 404, relay_text::NoSuchEndpoint(request.method, request.path));
  }
  return ErrorReply("unrouted", status, relay_text::HttpLevelError(status));
}

} // namespace

void InstallRelayRoutes(httplib::Server& server, RelayContext& context) {
  for (const Route& route : kRoutes) {
    const Handler handle = route.handle;
    auto serve = [&context, handle](const httplib::Request& request, httplib::Response& response) {
      Respond(context, request, response, handle);
    };
    if (route.method == "GET") {
      server.Get(route.pattern, serve);
    } else {
      server.Post(route.pattern, serve);
    }
  }
  server.set_pre_routing_handler([&context](const httplib::Request& request, httplib::Response&) {
    HoldIfRequested(context.holds, request.path);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [&context](const httplib::Request& request, httplib::Response& response) {
        // Answers that endpoints built carry their own body and were recorded already.
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        Reply reply;
        try {
          reply = Unrouted(request, response.status, response);
        } catch (const std::exception& error) {
          reply =
              ErrorReply("unrouted", 500, std::string(relay_text::kInternalError) + error.what());
        }
        Record(context, request, reply);
        Send(std::move(reply), response);
        return httplib::Server::HandlerResponse::Handled;
      }));
}
