#include "bridge/live_push_upload.h"

#include "bridge/background_task.h"
#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/senders.h"
#include "bridge/service_protocol.h"
#include "core/percent_encoding.h"
#include "platform/file_removal.h"
#include "platform/upload.h"
#include "schema/live_push.h"

namespace tideloom {

namespace {

std::string IngestUrl(std::string_view baseUrl, std::string_view licenseKey,
                      std::string_view uploadName) {
  std::string url(baseUrl);
  url += kLiveIngestPathPrefix;
  url += PercentEncode(licenseKey);
  url += kIngestNameQuery;
  url += PercentEncode(uploadName);
  return url;
}

// Deletes the saved copy when the upload is over, also when the upload threw.
struct SavedCopyRemoval {
  const std::string& path;
  ~SavedCopyRemoval() { RemoveFileAt(path); }
};

} // namespace

LivePushUpload PrepareLivePushUpload(std::string_view posixPath, std::string_view currentFileName) {
  SchemaClaim claim = bridgeState().ClaimSchemaFor(currentFileName);
  LivePushUpload upload;
  upload.posixPath = std::string(posixPath);
  upload.commandId = std::move(claim.commandId);
  upload.sourceFileName = std::move(claim.sourceFileName);
  upload.uploadUrl = IngestUrl(claim.credentials.baseUrl, claim.credentials.licenseKey,
                               LivePushUploadName(upload.sourceFileName));
  upload.baseUrl = std::move(claim.credentials.baseUrl);
  upload.licenseKey = std::move(claim.credentials.licenseKey);
  return upload;
}

void UploadLivePushFile(const LivePushUpload& upload) {
  HttpReply reply;
  {
    // The copy holds the whole schema: it must not stay behind, whatever the upload did.
    const SavedCopyRemoval removal{upload.posixPath};
    reply = HttpPostFile(upload.uploadUrl, upload.posixPath);
  }
  if (upload.commandId.empty()) return;
  if (reply) {
    completeCommand(upload.baseUrl, upload.licenseKey, upload.commandId, kStatusCompleted, {});
  } else {
    completeCommand(upload.baseUrl, upload.licenseKey, upload.commandId, kStatusFailed,
                    UploadFailedMessage(reply.error));
  }
}

std::string LivePush(std::string_view posixPath,
                     const std::function<std::string()>& currentFileName) {
  if (posixPath.empty()) return std::string(kEmptyPosixPathMessage);
  LivePushUpload upload = PrepareLivePushUpload(posixPath, currentFileName());
  launchBackgroundTask([upload = std::move(upload)] { UploadLivePushFile(upload); });
  return std::string(kLivePushStartedMessage);
}

} // namespace tideloom
