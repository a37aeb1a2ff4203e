#include "platform/http_failure.h"

namespace tideloom {

std::string FailedStepMessage(std::string_view step, unsigned long code) {
  std::string message(step);
  message += " failed with Windows error ";
  message += std::to_string(code);
  return message;
}

std::string UrlParseFailure(std::string_view url) {
  std::string message = "Failed to parse URL: ";
  message += url;
  return message;
}

} // namespace tideloom
