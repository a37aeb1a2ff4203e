#include "relay/same_origin.h"

#include <algorithm>
#include <string>

#include "relay/relay_messages.h"
#include "relay/relay_routes.h"

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

} // namespace

bool IsOwnHost(std::string_view host, std::string_view ownAddress, int port) {
  // Built by appending: GCC 12 wrongly sees overlapping copies in "literal" + std::string&&.
  std::string own(ownAddress);
  if (own.find(':') != std::string::npos) own = std::string(1, '[').append(ownAddress).append("]");
  std::string portSuffix(1, ':');
  portSuffix += std::to_string(port);
  for (const std::string_view name : {std::string_view(own), std::string_view("localhost"),
                                      std::string_view("127.0.0.1"), std::string_view("[::1]")}) {
    if (SameLetters(host, name)) return true;
    if (host.size() == name.size() + portSuffix.size() && host.ends_with(portSuffix) &&
        SameLetters(host.substr(0, name.size()), name)) {
      return true;
    }
  }
  return false;
}

bool IsOwnOrigin(std::string_view origin, std::string_view ownAddress, int port) {
  constexpr std::string_view kScheme = "http://";
  return origin.size() > kScheme.size() && SameLetters(origin.substr(0, kScheme.size()), kScheme) &&
         IsOwnHost(origin.substr(kScheme.size()), ownAddress, port);
}

std::optional<Reply> RefuseCrossSiteRequest(const RelayContext& context,
                                            const httplib::Request& request) {
  if (!IsOwnHost(request.get_header_value("Host"), context.host, context.port)) {
    return ErrorReply("refused", 403, std::string(relay_text::kForeignHost));
  }
  if (request.has_header("Origin") &&
      !IsOwnOrigin(request.get_header_value("Origin"), context.host, context.port)) {
    return ErrorReply("refused", 403, std::string(relay_text::kForeignOrigin));
  }
  if (request.method == "POST") {
    const std::string type = request.get_header_value("Content-Type");
    if (!SameLetters(Trimmed(std::string_view(type).substr(0, type.find(';'))),
                     "application/json")) {
      return ErrorReply("refused", 415, std::string(relay_text::kNotJsonContentType));
    }
  }
  return std::nullopt;
}
