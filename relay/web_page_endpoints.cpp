#include "relay/web_page_endpoints.h"

#include "relay/relay_messages.h"
#include "relay/web_assets.h"

namespace {

constexpr std::string_view kStartPage = "index.html";

Reply Serve(std::string_view name) {
  const WebAsset* asset = FindWebAsset(EmbeddedWebAssets(), name);
  if (asset == nullptr) {
    return ErrorReply("page", 404, std::string(relay_text::kNoSuchPageFile) + std::string(name));
  }
  Reply reply;
  reply.kind = "page";
  reply.body = asset->bytes;
  reply.contentType = WebContentType(name);
  // Page loads and its refreshes would drown the bridge's requests in the event log.
  reply.record = false;
  return reply;
}

} // namespace

Reply HandleWebPage(RelayContext&, const httplib::Request&) { return Serve(kStartPage); }

Reply HandleWebAsset(RelayContext&, const httplib::Request& request) {
  return Serve(request.matches.size() > 1 ? request.matches[1].str() : std::string());
}
