// Everything the bridge tells the service after a command was fetched: results, completions and
// status records. The senders copy their inputs into a background task and return at once; a
// request is sent once, never retried, and its reply is not read.
#pragma once

#include <string>
#include <string_view>

namespace tideloom {

// {"licenseKey":…,"xmlType":…,"xmlContent":…[,"label":…]}; an empty label leaves the member out.
std::string ResultRecord(std::string_view licenseKey, std::string_view xmlType,
                         std::string_view xmlContent, std::string_view label);

// {"licenseKey":…,"status":…[,"error":…]}; an empty error leaves the member out.
std::string CompletionBody(std::string_view licenseKey, std::string_view status,
                           std::string_view error);

// {"licenseKey":…,"code":…,"status":…,"message":…}
std::string StatusRecord(std::string_view licenseKey, std::string_view code,
                         std::string_view status, std::string_view message);

// baseUrl + "/api/bridge/command/" + the encoded id + "/complete"
std::string CompletionUrl(std::string_view baseUrl, std::string_view commandId);

// Sends one completion on the calling thread.
void completeCommand(std::string_view baseUrl, std::string_view licenseKey,
                     std::string_view commandId, std::string_view status, std::string_view error);

// Pushes the record, then completes the command as failed with the push's error, if any.
void pushResultAndComplete(std::string baseUrl, std::string record, std::string licenseKey,
                           std::string commandId);

// As pushResultAndComplete, but a failed listing fails the command whatever the push did.
void pushFormatsAndComplete(std::string baseUrl, std::string record, std::string licenseKey,
                            std::string commandId, bool listingSucceeded, std::string listingError);

// Pushes the record; completes nothing.
void pushResult(std::string baseUrl, std::string record);

// Completes by the flag; the error text goes along whenever it is non-empty.
void finishCommand(std::string baseUrl, std::string licenseKey, std::string commandId,
                   bool succeeded, std::string error);

// Completes the command as failed with `message`.
void failCommand(std::string baseUrl, std::string licenseKey, std::string commandId,
                 std::string message);

// Posts a status record; completes nothing.
void postDiagnostic(std::string baseUrl, std::string record);

// Posts an error status record with `code` and `message`, then fails the command with `message`.
void reportSchemaFailure(std::string licenseKey, std::string message, std::string baseUrl,
                         std::string commandId, std::string code);

} // namespace tideloom
