#include "schema/live_push.h"

#include <mutex>

#include "bridge/background_task.h"
#include "bridge/bridge_messages.h"
#include "bridge/bridge_state.h"
#include "bridge/percent_encoding.h"
#include "bridge/senders.h"
#include "bridge/service_protocol.h"
#include "platform/file_removal.h"
#include "platform/upload.h"

namespace {

constexpr std::string_view kFmp12Extension = ".fmp12";
constexpr std::string_view kUnnamedUpload = "schema";
constexpr std::string_view kUploadNameSuffix = ".fmp12.xml";

std::string AsciiLowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The script runs in one file; the service asked about a name that may or may not carry the
// extension, in whatever letter case the user typed.
bool SameFile(std::string_view target, std::string_view current) {
  return AsciiLowered(StripFmp12Extension(target)) == AsciiLowered(StripFmp12Extension(current));
}

struct BridgeCopy {
  std::string schemaTargetFile;
  std::string schemaCommandId;
  std::string registeredFileName;
  std::string baseUrl;
  std::string licenseKey;
};

BridgeCopy CopyBridgeFields() {
  const BridgeState& state = bridgeState();
  const std::lock_guard<std::mutex> lock(stateMutex());
  return {state.schemaTargetFile, state.schemaCommandId, state.registeredFileName, state.baseUrl,
          state.licenseKey};
}

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

std::string StripFmp12Extension(std::string_view name) {
  if (name.size() > kFmp12Extension.size() && name.ends_with(kFmp12Extension)) {
    name.remove_suffix(kFmp12Extension.size());
  }
  return std::string(name);
}

LivePushUpload PrepareLivePushUpload(std::string_view posixPath, std::string_view currentFileName) {
  BridgeCopy bridge = CopyBridgeFields();
  // With no command pending the target and id are both empty, and the upload answers "nothing".
  const bool answersCommand =
      bridge.schemaTargetFile.empty() || SameFile(bridge.schemaTargetFile, currentFileName);

  LivePushUpload upload;
  upload.posixPath = std::string(posixPath);
  if (answersCommand) {
    upload.commandId = bridge.schemaCommandId;
    upload.sourceFileName =
        !bridge.schemaTargetFile.empty() ? bridge.schemaTargetFile : bridge.registeredFileName;
    BridgeState& state = bridgeState();
    const std::lock_guard<std::mutex> lock(stateMutex());
    state.schemaCommandId.clear();
    state.schemaTargetFile.clear();
  } else {
    upload.sourceFileName =
        !currentFileName.empty() ? std::string(currentFileName) : bridge.registeredFileName;
  }

  std::string uploadName =
      upload.sourceFileName.empty() ? std::string(kUnnamedUpload) : upload.sourceFileName;
  uploadName += kUploadNameSuffix;
  upload.uploadUrl = IngestUrl(bridge.baseUrl, bridge.licenseKey, uploadName);
  upload.baseUrl = std::move(bridge.baseUrl);
  upload.licenseKey = std::move(bridge.licenseKey);
  return upload;
}

void UploadLivePushFile(const LivePushUpload& upload) {
  std::string error;
  {
    // The copy holds the whole schema: it must not stay behind, whatever the upload did.
    const SavedCopyRemoval removal{upload.posixPath};
    std::string reply;
    HttpPostFile(upload.uploadUrl, upload.posixPath, reply, error);
  }
  if (upload.commandId.empty()) return;
  if (error.empty()) {
    completeCommand(upload.baseUrl, upload.licenseKey, upload.commandId, kStatusCompleted, {});
  } else {
    completeCommand(upload.baseUrl, upload.licenseKey, upload.commandId, kStatusFailed,
                    UploadFailedMessage(error));
  }
}

std::string LivePush(std::string_view posixPath,
                     const std::function<std::string()>& currentFileName) {
  if (posixPath.empty()) return std::string(kEmptyPosixPathMessage);
  LivePushUpload upload = PrepareLivePushUpload(posixPath, currentFileName());
  launchBackgroundTask([upload = std::move(upload)] { UploadLivePushFile(upload); });
  return std::string(kLivePushStartedMessage);
}
