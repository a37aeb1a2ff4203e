// TideLoom.LivePush: the "TideLoom Live Push" script has saved its file as XML; the copy goes to
// the service's ingest endpoint on a background thread, is deleted afterwards, and, when it is
// what the bridge's schema command waits for, completes that command.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tideloom {

// One upload's inputs, owned by its background task.
struct LivePushUpload {
  std::string uploadUrl;
  std::string posixPath;
  std::string sourceFileName;
  std::string commandId; // empty: the upload answers no command
  std::string baseUrl;
  std::string licenseKey;
};

// Decides which command and which name the upload belongs to, and takes a matched command out
// of the bridge state. `currentFileName` is the file in whose context the script runs.
LivePushUpload PrepareLivePushUpload(std::string_view posixPath, std::string_view currentFileName);

// The background work: upload, delete the copy whatever happened, complete the command if any.
void UploadLivePushFile(const LivePushUpload& upload);

// The function's result text. `currentFileName` is asked for only once the path is known to be
// non-empty.
std::string LivePush(std::string_view posixPath,
                     const std::function<std::string()>& currentFileName);

} // namespace tideloom
