#include "bridge/senders.h"

#include <utility>

#include "bridge/background_task.h"
#include "bridge/service_protocol.h"
#include "core/json.h"
#include "core/percent_encoding.h"
#include "platform/http.h"

namespace tideloom {

namespace {

std::string Joined(std::string_view base, std::string_view path) {
  std::string url;
  url.reserve(base.size() + path.size());
  url += base;
  url += path;
  return url;
}

// The request's error text: empty when it went out and a reply came back.
std::string PostJson(const std::string& url, const std::string& body) {
  return HttpPostJson(url, body).error;
}

std::string_view StatusFor(bool succeeded) { return succeeded ? kStatusCompleted : kStatusFailed; }

} // namespace

std::string ResultRecord(std::string_view licenseKey, std::string_view xmlType,
                         std::string_view xmlContent, std::string_view label) {
  JsonObjectWriter record(licenseKey.size() + xmlType.size() + xmlContent.size() + label.size());
  record.String("licenseKey", licenseKey)
      .String("xmlType", xmlType)
      .String("xmlContent", xmlContent);
  if (!label.empty()) record.String("label", label);
  return record.Finish();
}

std::string CompletionBody(std::string_view licenseKey, std::string_view status,
                           std::string_view error) {
  JsonObjectWriter body;
  body.String("licenseKey", licenseKey).String("status", status);
  if (!error.empty()) body.String("error", error);
  return body.Finish();
}

std::string StatusRecord(std::string_view licenseKey, std::string_view code,
                         std::string_view status, std::string_view message) {
  return JsonObjectWriter()
      .String("licenseKey", licenseKey)
      .String("code", code)
      .String("status", status)
      .String("message", message)
      .Finish();
}

std::string CompletionUrl(std::string_view baseUrl, std::string_view commandId) {
  std::string url = Joined(baseUrl, kCommandPathPrefix);
  url += PercentEncode(commandId);
  url += kCompletePathSuffix;
  return url;
}

void completeCommand(std::string_view baseUrl, std::string_view licenseKey,
                     std::string_view commandId, std::string_view status, std::string_view error) {
  PostJson(CompletionUrl(baseUrl, commandId), CompletionBody(licenseKey, status, error));
}

void pushResultAndComplete(std::string baseUrl, std::string record, std::string licenseKey,
                           std::string commandId) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), record = std::move(record),
                        licenseKey = std::move(licenseKey), commandId = std::move(commandId)] {
    const std::string pushError = PostJson(Joined(baseUrl, kPushPath), record);
    completeCommand(baseUrl, licenseKey, commandId, StatusFor(pushError.empty()), pushError);
  });
}

void pushFormatsAndComplete(std::string baseUrl, std::string record, std::string licenseKey,
                            std::string commandId, bool listingSucceeded,
                            std::string listingError) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), record = std::move(record),
                        licenseKey = std::move(licenseKey), commandId = std::move(commandId),
                        listingSucceeded, listingError = std::move(listingError)] {
    const std::string pushError = PostJson(Joined(baseUrl, kPushPath), record);
    const std::string& error = listingSucceeded ? pushError : listingError;
    const bool succeeded = listingSucceeded && pushError.empty();
    completeCommand(baseUrl, licenseKey, commandId, StatusFor(succeeded), error);
  });
}

void pushResult(std::string baseUrl, std::string record) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), record = std::move(record)] {
    PostJson(Joined(baseUrl, kPushPath), record);
  });
}

void finishCommand(std::string baseUrl, std::string licenseKey, std::string commandId,
                   bool succeeded, std::string error) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), licenseKey = std::move(licenseKey),
                        commandId = std::move(commandId), succeeded, error = std::move(error)] {
    completeCommand(baseUrl, licenseKey, commandId, StatusFor(succeeded), error);
  });
}

void failCommand(std::string baseUrl, std::string licenseKey, std::string commandId,
                 std::string message) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), licenseKey = std::move(licenseKey),
                        commandId = std::move(commandId), message = std::move(message)] {
    completeCommand(baseUrl, licenseKey, commandId, kStatusFailed, message);
  });
}

void postDiagnostic(std::string baseUrl, std::string record) {
  launchBackgroundTask([baseUrl = std::move(baseUrl), record = std::move(record)] {
    PostJson(Joined(baseUrl, kDiagnosticPath), record);
  });
}

void reportSchemaFailure(std::string licenseKey, std::string message, std::string baseUrl,
                         std::string commandId, std::string code) {
  launchBackgroundTask([licenseKey = std::move(licenseKey), message = std::move(message),
                        baseUrl = std::move(baseUrl), commandId = std::move(commandId),
                        code = std::move(code)] {
    PostJson(Joined(baseUrl, kDiagnosticPath),
             StatusRecord(licenseKey, code, kRecordError, message));
    completeCommand(baseUrl, licenseKey, commandId, kStatusFailed, message);
  });
}

} // namespace tideloom
