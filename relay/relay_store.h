// The relay's memory: one SQLite database in the data folder holding the command queues, every
// request received, registrations and the uploaded files' records. All functions are safe to call
// from many request threads at once; each takes the store's one lock for its whole transaction.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

struct SqliteCloser {
  void operator()(sqlite3* db) const;
};

struct RelayStore {
  std::mutex mutex;
  std::unique_ptr<sqlite3, SqliteCloser> db;
  std::filesystem::path dataDir;
};

// Where uploads are stored, beside the database.
inline std::filesystem::path IngestFolder(const RelayStore& store) {
  return store.dataDir / "ingested";
}

// Opens (creating if needed) "relay.db" in `dataDir`; throws std::runtime_error on failure.
std::unique_ptr<RelayStore> OpenRelayStore(const std::filesystem::path& dataDir);

inline constexpr std::string_view kStateQueued = "queued";
inline constexpr std::string_view kStateInFlight = "in_flight";
inline constexpr std::string_view kStateCompleted = "completed";
inline constexpr std::string_view kStateFailed = "failed";

struct NewCommand {
  std::string licenseKey;
  std::string type;
  std::optional<std::string> xmlType;
  std::optional<std::string> xmlContent;
  std::optional<std::string> fileName;
};

struct CommandRecord {
  std::int64_t id = 0;
  NewCommand command;
  std::string state;
  std::string queuedAt;
  std::string handedOutAt; // empty while queued
  std::string finishedAt;  // empty until a completion was accepted
  std::string completionError;
};

std::int64_t QueueCommand(RelayStore& store, const NewCommand& command);
// The key's oldest queued command, now marked in flight; nullopt when none is queued.
std::optional<CommandRecord> HandOutNextCommand(RelayStore& store, const std::string& licenseKey);
std::optional<CommandRecord> FindCommand(RelayStore& store, std::int64_t id);
// All commands, or those of one key, oldest first.
std::vector<CommandRecord> ListCommands(RelayStore& store,
                                        const std::optional<std::string>& licenseKey);

enum class CompletionOutcome { Accepted, UnknownCommand, OtherKey, NotHandedOut, AlreadyFinished };
// `succeeded` picks completed or failed; only an in-flight command of the same key changes.
CompletionOutcome CompleteCommand(RelayStore& store, std::int64_t id, const std::string& licenseKey,
                                  bool succeeded, const std::string& error);

enum class ReleaseOutcome { Released, UnknownCommand, NotInFlight };
// For a command whose plug-in will never complete it: back to the front of its key's queue
// (no `failure`), or failed with `failure` as its completion error.
ReleaseOutcome ReleaseInFlightCommand(RelayStore& store, std::int64_t id,
                                      const std::optional<std::string>& failure);

// The key's in-flight command handed out most recently among the listed types; when none of
// those is in flight and `anyTypeOtherwise`, the most recent in-flight command of any type.
std::optional<std::int64_t> InFlightCommandFor(RelayStore& store, const std::string& licenseKey,
                                               const std::vector<std::string>& types,
                                               bool anyTypeOtherwise);

struct EventRecord {
  std::int64_t seq = 0;   // given by the store
  std::string receivedAt; // given by the store
  std::string method;
  std::string path;
  std::string query;
  std::string kind; // register, poll, push, complete, diagnostic, ingest, version, dev, refused
  std::string licenseKey;
  std::optional<std::int64_t> commandId;
  int status = 0;   // the HTTP status answered
  std::string body; // as received, possibly left out (ingest)
  std::int64_t bodySize = 0;
  std::string error; // the reason for a 4xx/5xx answer
};

std::int64_t RecordEvent(RelayStore& store, const EventRecord& event);
std::vector<EventRecord> EventsSince(RelayStore& store, std::int64_t since, std::int64_t limit);
std::vector<EventRecord> EventsForCommand(RelayStore& store, std::int64_t commandId);

struct Registration {
  std::string licenseKey;
  std::string email;
  std::string machineId;
  std::string pluginVersion;
  std::string firstAt;
  std::string lastAt;
  std::int64_t count = 0;
};

void RecordRegistration(RelayStore& store, const Registration& registration);
std::vector<Registration> ListRegistrations(RelayStore& store);

struct IngestRecord {
  std::string licenseKey;
  std::optional<std::int64_t> commandId;
  std::string originalName; // the decoded filename parameter
  std::string storedName;
  std::string path;
  std::int64_t size = 0;
  std::string receivedAt; // given by the store
};

void RecordIngest(RelayStore& store, const IngestRecord& ingest);
std::vector<IngestRecord> IngestsForCommand(RelayStore& store, std::int64_t commandId);
// Every stored upload, oldest first.
std::vector<IngestRecord> ListIngests(RelayStore& store);
std::optional<IngestRecord> FindIngest(RelayStore& store, const std::string& storedName);

// UTC, ISO 8601 with milliseconds.
std::string UtcTimestamp();
