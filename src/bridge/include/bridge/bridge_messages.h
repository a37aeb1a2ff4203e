// Every text the bridge produces for a solution or for the service, in one place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tideloom {

// TideLoom.Register's checks, in the order they are made.
inline constexpr std::string_view kEmptyEmailMessage = "ERROR: email is empty.";
inline constexpr std::string_view kEmptyMachineIdMessage = "ERROR: machineId is empty.";
inline constexpr std::string_view kEmptyBaseUrlMessage = "ERROR: baseUrl is empty.";
inline constexpr std::string_view kRegisteredMessage = "OK";

// How much of a refusing service's reply a solution gets to see.
inline constexpr std::size_t kRefusalBodyLimit = 300;

// "ERROR: registration refused (HTTP <status>): " + the reply's first bytes, cut back to a
// whole UTF-8 character.
std::string RegistrationRefusedMessage(int httpStatus, std::string_view replyBody);

// Command failures reported to the service.
inline constexpr std::string_view kNoClipboardXmlMessage =
    "No FileMaker XML found on clipboard. Copy script steps, scripts, layout objects, fields, "
    "tables, custom functions, or value lists in FileMaker first.";
std::string UnknownCommandTypeMessage(std::string_view type);

// The schema command's status records: progress while the script is queued and started, and the
// two ways it can fail. Each failure message is also the failed command's error text.
inline constexpr std::string_view kSchemaQueuedCode = "LR_SCHEMA_QUEUED";
inline constexpr std::string_view kScriptTriggerCode = "LR_SCRIPT_TRIGGER";
inline constexpr std::string_view kScriptTriggeredCode = "LR_SCRIPT_TRIGGERED";
inline constexpr std::string_view kSchemaTimeoutCode = "LR_TIMEOUT";
inline constexpr std::string_view kScriptErrorCode = "LR_SCRIPT_ERROR";
inline constexpr std::string_view kNoSchemaTargetMessage =
    "No FM file registered. Open your FM file and let TideLoom.Register() run first.";
std::string SchemaQueuedMessage(std::string_view targetFile);
std::string ScriptTriggerMessage(std::string_view targetFile);
std::string ScriptTriggeredMessage(std::string_view scriptName);
std::string SchemaTimeoutMessage(std::string_view targetFile);
// Chosen by the host's error number: not found (104, 1825), not permitted (825), or any other.
std::string ScriptStartFailedMessage(std::string_view targetFile, int16_t hostError);

// TideLoom.LivePush.
inline constexpr std::string_view kEmptyPosixPathMessage = "ERROR: posixPath is empty.";
inline constexpr std::string_view kLivePushStartedMessage = "OK";
std::string UploadFailedMessage(std::string_view uploadError);

// The update notice for a newer `latestVersion`, written as the service gave it.
std::string UpdateNoticeMessage(std::string_view latestVersion);

} // namespace tideloom
