#include "bridge/bridge_messages.h"

#include <initializer_list>

#include "core/utf8.h"
#include "hostapi/plugin_identity.h"

namespace tideloom {

std::string RegistrationRefusedMessage(int httpStatus, std::string_view replyBody) {
  std::string message = "ERROR: registration refused (HTTP ";
  message += std::to_string(httpStatus);
  message += "): ";
  message += WholeCharacterPrefix(replyBody, kRefusalBodyLimit);
  return message;
}

std::string UnknownCommandTypeMessage(std::string_view type) {
  std::string message = "Unknown command type: ";
  message += type;
  return message;
}

std::string UpdateNoticeMessage(std::string_view latestVersion) {
  std::string message = "TideLoom plugin v";
  message += latestVersion;
  message += " is available \xE2\x80\x94 download at ";
  message += kGuideLocation;
  return message;
}

namespace {

// A message of literal pieces and names, in order.
std::string Joined(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces)
    text += piece;
  return text;
}

} // namespace

std::string SchemaQueuedMessage(std::string_view targetFile) {
  return Joined(
      {"Queued \xE2\x80\x94 waiting for \"", targetFile, "\" to be active in FileMaker..."});
}

std::string ScriptTriggerMessage(std::string_view targetFile) {
  return Joined({"Triggering \"TideLoom Live Push\" in \"", targetFile, "\"..."});
}

std::string ScriptTriggeredMessage(std::string_view scriptName) {
  return Joined(
      {"Script queued \xE2\x80\x94 waiting for FileMaker to run \"", scriptName, "\"..."});
}

std::string SchemaTimeoutMessage(std::string_view targetFile) {
  return Joined({"\"", targetFile,
                 "\" was not the active FileMaker file within 30 seconds. Make sure the file is "
                 "open and try again."});
}

std::string ScriptStartFailedMessage(std::string_view targetFile, int16_t hostError) {
  if (hostError == 104 || hostError == 1825) {
    return Joined({"Could not find the Live Push script in \"", targetFile,
                   "\". Name it exactly \"TideLoom Live Push\" and try again."});
  }
  if (hostError == 825) {
    return Joined({"FileMaker blocked TideLoom from starting \"TideLoom Live Push\" in \"",
                   targetFile,
                   "\" (FM error 825). In Manage Security > Advanced Settings > Extended "
                   "Privileges, enable fmplugin for this account's privilege set, or add "
                   "fmpluginTdLm for the TideLoom plug-in."});
  }
  return Joined({"Could not start \"TideLoom Live Push\" in \"", targetFile, "\" (FM error ",
                 std::to_string(hostError), "). Make sure the file is open."});
}

std::string UploadFailedMessage(std::string_view uploadError) {
  return Joined({"Upload failed: ", uploadError});
}

} // namespace tideloom
