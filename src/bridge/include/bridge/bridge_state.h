// The one record the bridge's threads share: the host's thread, the poll thread and the senders.
// Every operation takes the state's lock itself and none holds it across a network request, a
// sleep, a thread start or a call into the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "schema/context_report.h"

namespace tideloom {

// Where reports go and whose they are, copied in one piece.
struct Credentials {
  std::string baseUrl;
  std::string licenseKey;
};

// A command as the poll fetched it: its id and type, and the whole reply it came in.
struct PolledCommand {
  std::string id;
  std::string type;
  std::string body;
};

// A queued schema command as the idle watch sees it.
struct SchemaWait {
  std::string targetFile;
  bool waiting = false;
  int64_t queuedAtMs = 0;
};

// What a Live Push upload answers: the schema command it completes (empty id: none) and the
// file it is named after.
struct SchemaClaim {
  std::string commandId;
  std::string sourceFileName;
  Credentials credentials;
};

// Marks the session that started a poll, so that its answer reaches no later session.
using SessionToken = uint64_t;

class BridgeState {
public:
  BridgeState();

  // Registration and the plug-in's life.
  void Configure(std::string_view licenseKey, std::string_view baseUrl);
  bool IsRegistered() const;
  Credentials ReadCredentials() const;
  std::string RegisteredFileName() const;
  void SetRegisteredFileName(std::string_view name);
  // Keeps the first name learnt; later ones are ignored.
  void AdoptRegisteredFileName(std::string_view name);
  // Start-up allows background work again; shutdown refuses it, ends the session and drops the
  // pending and queued commands (key, base URL and file name stay for a later start-up).
  void AllowWork();
  void BeginShutdown();
  bool ShuttingDown() const { return shuttingDown_.load(); }

  // Background tasks, counted so that shutdown can wait for them.
  void TaskStarted() { activeTasks_.fetch_add(1); }
  void TaskEnded() { activeTasks_.fetch_sub(1); }
  int32_t ActiveTasks() const { return activeTasks_.load(); }

  // Polling: at most one poll at a time, and a new decision no sooner than `spacingMs` after the
  // last one (which restarts the spacing even when a running poll keeps us from starting).
  std::optional<SessionToken> ClaimPoll(int64_t nowMs, int64_t spacingMs);
  void EndPoll(SessionToken session);
  // A poll's command is dropped unless its session is still the running one.
  void StorePolledCommand(SessionToken session, PolledCommand command);
  std::optional<PolledCommand> TakePendingCommand();

  // The schema command: queued, watched, claimed by a Live Push upload, forgotten.
  void QueueSchemaWait(std::string_view commandId, std::string_view targetFile, int64_t nowMs);
  SchemaWait ReadSchemaWait() const;
  // Ends the wait and returns the id of the command it was for.
  std::string StopSchemaWaiting();
  void ForgetSchemaCommand();
  SchemaClaim ClaimSchemaFor(std::string_view currentFileName);

  // The daily update check.
  bool ClaimUpdateCheck(int64_t nowMs);
  bool UpdateCheckDue(int64_t nowMs, int64_t spacingMs) const;
  void EndUpdateCheck() { updateCheckRunning_.store(false); }
  void StoreLatestVersion(std::string version);
  std::string LatestVersion() const;

  BridgeReportView ReportView() const;

private:
  mutable std::mutex mutex_;
  bool registered_ = false;
  std::string licenseKey_;
  std::string baseUrl_;
  std::string registeredFileName_;
  SessionToken session_ = 0;
  std::optional<PolledCommand> pendingCommand_;
  std::string schemaCommandId_;
  std::string schemaTargetFile_;
  bool schemaWaiting_ = false;
  int64_t schemaQueuedAtMs_ = 0;
  int64_t lastPollAtMs_ = 0;
  int64_t lastUpdateCheckAtMs_ = 0;
  std::string latestVersion_;

  std::atomic<bool> shuttingDown_{false};
  std::atomic<bool> pollInFlight_{false};
  // Lets the idle call see "nothing pending" without taking the lock.
  std::atomic<bool> commandPending_{false};
  std::atomic<bool> updateCheckRunning_{false};
  std::atomic<int32_t> activeTasks_{0};
};

// Made once and never destroyed: a sender still running while the process exits finds it whole.
BridgeState& bridgeState();

// Milliseconds on the monotonic clock. Tests replace the clock through steadyClockSource.
int64_t steadyNowMs();
extern int64_t (*steadyClockSource)();

} // namespace tideloom
