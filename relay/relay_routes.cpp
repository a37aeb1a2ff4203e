#include "relay/relay_routes.h"

#include <httplib.h>

#include <cstdlib>
#include <exception>
#include <regex>
#include <string_view>

#include "relay/bridge_endpoints.h"
#include "relay/dev_endpoints.h"
#include "relay/relay_messages.h"
#include "relay/relay_reply.h"
#include "relay/same_origin.h"
#include "relay/web_page_endpoints.h"

namespace {

struct Route {
  constexpr Route(std::string_view m, const char* p, Handler h)
      : method(m), pattern(p), handle(h) {}
  constexpr Route(std::string_view m, const char* p, BodyReadingHandler r)
      : method(m), pattern(p), readBody(r) {}
  std::string_view method;
  const char* pattern; // matched against the whole decoded path
  Handler handle = nullptr;
  BodyReadingHandler readBody = nullptr; // instead of `handle`, for bodies not held in memory
};

// Bodies read into memory stay under this. Uploads are streamed to disk and may be as large as
// the plug-in can send, so that larger size is the server's own limit.
constexpr std::size_t kMaxBodyBytes = std::size_t{256} * 1024 * 1024;
constexpr std::string_view kIngestPrefix = "/api/live/ingest/";

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
    {"POST", R"(/dev/commands/([^/]+)/requeue)", HandleRequeueCommand},
    {"POST", R"(/dev/commands/([^/]+)/fail)", HandleFailCommand},
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
  event.bodySize = reply.bodySize.value_or(static_cast<std::int64_t>(request.body.size()));
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

// The one place where an endpoint's failure is caught, and where the page and /dev/ are kept
// from other web sites.
template <typename Handle>
void Respond(RelayContext& context, const httplib::Request& request, httplib::Response& response,
             Handle handle) {
  Reply reply;
  try {
    std::optional<Reply> refusal;
    if (!request.path.starts_with("/api/")) refusal = RefuseCrossSiteRequest(context, request);
    reply = refusal ? std::move(*refusal) : handle();
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
  server.set_payload_max_length(kMaxUploadBytes);
  for (const Route& route : kRoutes) {
    const Handler handle = route.handle;
    const BodyReadingHandler readBody = route.readBody;
    auto serve = [&context, handle](const httplib::Request& request, httplib::Response& response) {
      Respond(context, request, response, [&] { return handle(context, request); });
    };
    auto serveReading = [&context, readBody](const httplib::Request& request,
                                             httplib::Response& response,
                                             const httplib::ContentReader& body) {
      Respond(context, request, response, [&] { return readBody(context, request, body); });
    };
    if (route.method == "GET") {
      server.Get(route.pattern, serve);
    } else if (readBody != nullptr) {
      server.Post(route.pattern, serveReading);
    } else {
      server.Post(route.pattern, serve);
    }
  }
  server.set_pre_routing_handler(
      [&context](const httplib::Request& request, httplib::Response& response) {
        if (!request.path.starts_with(kIngestPrefix) &&
            std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10) >
                kMaxBodyBytes) {
          response.status = 413; // answered by the error handler below, as httplib's own refusals
          return httplib::Server::HandlerResponse::Handled;
        }
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
