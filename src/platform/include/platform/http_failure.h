// The messages of a failed exchange. Both back ends name the failed step after the WinHTTP call
// that would have failed, so callers and solutions see the same texts on every platform.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

inline constexpr std::string_view kStepOpen = "WinHttpOpen";
inline constexpr std::string_view kStepConnect = "WinHttpConnect";
inline constexpr std::string_view kStepOpenRequest = "WinHttpOpenRequest";
inline constexpr std::string_view kStepSend = "WinHttpSendRequest/WinHttpReceiveResponse";
inline constexpr std::string_view kStepRead = "WinHttpReadData";

// The code that stands for a reply that ended before its announced length.
inline constexpr unsigned long kConnectionBrokenCode = 12030;

// step + " failed with Windows error " + code.
std::string FailedStepMessage(std::string_view step, unsigned long code);

// "Failed to parse URL: " + url.
std::string UrlParseFailure(std::string_view url);

} // namespace tideloom
