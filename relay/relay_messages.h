// Every text the relay answers with or prints, so that wording changes in one place.
#pragma once

#include <string>
#include <string_view>

namespace relay_text {

inline constexpr std::string_view kDefaultPluginVersion = "1.6.18";

inline constexpr std::string_view kBodyNotJson = "body is not valid JSON: ";
inline constexpr std::string_view kBodyNotObject = "body must be a JSON object";
inline constexpr std::string_view kBodyTooDeep = "body is nested deeper than 64 levels";
inline constexpr std::string_view kBodyTooLarge = "body is larger than 256 MiB";
inline constexpr std::string_view kForeignHost = "request Host is not this relay's address";
inline constexpr std::string_view kForeignOrigin = "request Origin is not this relay's page";
inline constexpr std::string_view kNotJsonContentType = "Content-Type must be application/json";
inline constexpr std::string_view kUnknownKey = "unknown licenseKey";
inline constexpr std::string_view kMissingKeyQuery =
    "query parameter licenseKey is missing or empty";
inline constexpr std::string_view kMissingFileName = "query parameter filename is missing or empty";
inline constexpr std::string_view kBadStatus = "member status must be \"completed\" or \"failed\"";
inline constexpr std::string_view kUnknownCommand = "no command with id ";
inline constexpr std::string_view kCommandOfOtherKey = "command belongs to another licenseKey";
inline constexpr std::string_view kCommandNotHandedOut = "command was never handed out";
inline constexpr std::string_view kCommandAlreadyFinished = "command is already finished: ";
inline constexpr std::string_view kCommandNotInFlight = "command is not in flight: ";
inline constexpr std::string_view kFailedOnPage = "marked failed on the relay's page";
inline constexpr std::string_view kNoSuchFile = "no ingested file named ";
inline constexpr std::string_view kNoSuchPageFile = "no page file named ";
inline constexpr std::string_view kUploadCutShort = "upload ended before its last byte";
inline constexpr std::string_view kFileNotStored = "could not store the uploaded file: ";
inline constexpr std::string_view kBadSince = "query parameter since must be a whole number";
inline constexpr std::string_view kBadLimit = "query parameter limit must be a whole number";
inline constexpr std::string_view kBadHoldRoute = "member route must be a path starting with /";
inline constexpr std::string_view kBadHoldSeconds = "member seconds must be a number from 0 to 600";
inline constexpr std::string_view kInternalError = "internal error: ";

inline std::string MissingStringMember(std::string_view name) {
  return "member " + std::string(name) + " must be a non-empty string";
}
inline std::string NotAStringMember(std::string_view name) {
  return "member " + std::string(name) + " must be a string";
}
inline std::string NoSuchEndpoint(std::string_view method, std::string_view path) {
  return "no such endpoint: " + std::string(method) + " " + std::string(path);
}
inline std::string MethodNotAllowed(std::string_view method, std::string_view path,
                                    std::string_view allowed) {
  return "method " + std::string(method) + " is not allowed on " + std::string(path) + "; use " +
         std::string(allowed);
}
inline std::string HttpLevelError(int status) {
  return "request rejected before routing (HTTP " + std::to_string(status) + ")";
}

inline std::string ListeningLine(std::string_view url) {
  return "tideloom-relay listening on " + std::string(url);
}

inline constexpr std::string_view kUsage =
    "Usage: tideloom-relay [--host ADDR] [--port N] [--data DIR] [--plugin-version TEXT]\n"
    "                      [--keys FILE] [--hold ROUTE:SECONDS]... [--help]\n"
    "\n"
    "A local stand-in for the TideLoom web service: the bridge polls it for commands and\n"
    "posts results, completions, diagnostics and Live Push uploads to it.\n"
    "\n"
    "  --host ADDR            address to listen on (default 127.0.0.1)\n"
    "  --port N               port to listen on, 0 for any free port (default 8787)\n"
    "  --data DIR             folder for the database and uploaded files (default ./relay-data)\n"
    "  --plugin-version TEXT  version announced by GET /api/plugin/version (default 1.6.18)\n"
    "  --keys FILE            accept only the account keys listed in FILE, one per line;\n"
    "                         requests with any other key get HTTP 401\n"
    "  --hold ROUTE:SECONDS   leave requests for ROUTE under /api/ unanswered for SECONDS, at\n"
    "                         most 600 (a ROUTE ending in * matches every path starting with\n"
    "                         the rest); repeatable\n"
    "  --help                 show this text\n";

} // namespace relay_text
