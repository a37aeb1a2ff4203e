#include "relay/relay_store.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <system_error>

namespace {

// A prepared statement, finalized on every path.
class Statement {
public:
  Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
      Fail();
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  Statement& BindBlob(int index, std::string_view text) {
    // SQLITE_TRANSIENT: the statement keeps its own copy, so temporaries may be bound.
    Check(sqlite3_bind_blob64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT));
    return *this;
  }
  Statement& BindText(int index, std::string_view text) {
    Check(
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    return *this;
  }
  Statement& Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
  }
  Statement& Bind(int index, const std::optional<std::string>& text) {
    if (text) return BindText(index, *text);
    Check(sqlite3_bind_null(stmt_, index));
    return *this;
  }
  Statement& Bind(int index, const std::optional<std::int64_t>& value) {
    if (value) return Bind(index, *value);
    Check(sqlite3_bind_null(stmt_, index));
    return *this;
  }

  // True while a row is available.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }

  std::string Text(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), size);
  }
  std::optional<std::string> OptionalText(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    return Text(column);
  }
  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::optional<std::int64_t> OptionalInt(int column) const {
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) return std::nullopt;
    return Int(column);
  }

private:
  void Check(int rc) {
    if (rc != SQLITE_OK) Fail();
  }
  [[noreturn]] void Fail() {
    throw std::runtime_error(std::string("SQLite: ") + sqlite3_errmsg(db_));
  }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

void Execute(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string text = message != nullptr ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw std::runtime_error("SQLite: " + text);
  }
}

// BEGIN IMMEDIATE ... COMMIT, rolled back when the scope is left by an exception.
class Transaction {
public:
  explicit Transaction(sqlite3* db) : db_(db) { Execute(db_, "BEGIN IMMEDIATE"); }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Execute(db_, "COMMIT");
    done_ = true;
  }

private:
  sqlite3* db_;
  bool done_ = false;
};

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS commands(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  license_key TEXT NOT NULL,
  type TEXT NOT NULL,
  xml_type TEXT,
  xml_content TEXT,
  file_name TEXT,
  state TEXT NOT NULL,
  queued_at TEXT NOT NULL,
  handed_out_at TEXT,
  hand_out_order INTEGER,
  finished_at TEXT,
  completion_error TEXT);
CREATE INDEX IF NOT EXISTS commands_by_key_state ON commands(license_key, state, id);
CREATE TABLE IF NOT EXISTS command_contents(
  command_id INTEGER PRIMARY KEY,
  xml_content TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS commands_by_hand_out ON commands(hand_out_order);
CREATE TABLE IF NOT EXISTS events(
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  received_at TEXT NOT NULL,
  method TEXT NOT NULL,
  path TEXT NOT NULL,
  query TEXT NOT NULL,
  kind TEXT NOT NULL,
  license_key TEXT NOT NULL,
  command_id INTEGER,
  status INTEGER NOT NULL,
  body BLOB NOT NULL,
  body_size INTEGER NOT NULL,
  error TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS events_by_command ON events(command_id, seq);
CREATE TABLE IF NOT EXISTS registrations(
  license_key TEXT PRIMARY KEY,
  email TEXT NOT NULL,
  machine_id TEXT NOT NULL,
  plugin_version TEXT NOT NULL,
  first_at TEXT NOT NULL,
  last_at TEXT NOT NULL,
  count INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS ingested(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  license_key TEXT NOT NULL,
  command_id INTEGER,
  original_name TEXT NOT NULL,
  stored_name TEXT NOT NULL,
  path TEXT NOT NULL,
  size INTEGER NOT NULL,
  received_at TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS ingested_by_command ON ingested(command_id, id);
CREATE INDEX IF NOT EXISTS ingested_by_name ON ingested(stored_name, id);
)sql";

// A command's XML lives in a table of its own, written once: SQLite rewrites a whole row on every
// update, and a command's state changes twice. Files of earlier relays held it in
// commands.xml_content, which OpenRelayStore empties into command_contents.
constexpr const char* kMoveContentsOutOfCommands = R"sql(
INSERT OR IGNORE INTO command_contents(command_id, xml_content)
  SELECT id, xml_content FROM commands WHERE xml_content IS NOT NULL;
UPDATE commands SET xml_content = NULL WHERE xml_content IS NOT NULL;
)sql";

constexpr const char* kCommandColumns =
    "c.id, c.license_key, c.type, c.xml_type, x.xml_content, c.file_name, c.state, c.queued_at, "
    "c.handed_out_at, c.finished_at, c.completion_error FROM commands c "
    "LEFT JOIN command_contents x ON x.command_id = c.id";

CommandRecord ReadCommand(const Statement& row) {
  CommandRecord record;
  record.id = row.Int(0);
  record.command.licenseKey = row.Text(1);
  record.command.type = row.Text(2);
  record.command.xmlType = row.OptionalText(3);
  record.command.xmlContent = row.OptionalText(4);
  record.command.fileName = row.OptionalText(5);
  record.state = row.Text(6);
  record.queuedAt = row.Text(7);
  record.handedOutAt = row.Text(8);
  record.finishedAt = row.Text(9);
  record.completionError = row.Text(10);
  return record;
}

std::optional<CommandRecord> FindCommandLocked(sqlite3* db, std::int64_t id) {
  Statement query(db, std::string("SELECT ") + kCommandColumns + " WHERE c.id = ?");
  query.Bind(1, id);
  if (!query.Step()) return std::nullopt;
  return ReadCommand(query);
}

constexpr const char* kEventColumns =
    "seq, received_at, method, path, query, kind, license_key, command_id, status, body, "
    "body_size, error";

EventRecord ReadEvent(const Statement& row) {
  EventRecord event;
  event.seq = row.Int(0);
  event.receivedAt = row.Text(1);
  event.method = row.Text(2);
  event.path = row.Text(3);
  event.query = row.Text(4);
  event.kind = row.Text(5);
  event.licenseKey = row.Text(6);
  event.commandId = row.OptionalInt(7);
  event.status = static_cast<int>(row.Int(8));
  event.body = row.Text(9);
  event.bodySize = row.Int(10);
  event.error = row.Text(11);
  return event;
}

IngestRecord ReadIngest(const Statement& row) {
  IngestRecord ingest;
  ingest.licenseKey = row.Text(0);
  ingest.commandId = row.OptionalInt(1);
  ingest.originalName = row.Text(2);
  ingest.storedName = row.Text(3);
  ingest.path = row.Text(4);
  ingest.size = row.Int(5);
  ingest.receivedAt = row.Text(6);
  return ingest;
}

constexpr const char* kIngestColumns =
    "license_key, command_id, original_name, stored_name, path, size, received_at";

} // namespace

void SqliteCloser::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

std::string UtcTimestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis));
  return std::string(text, length) + fraction;
}

std::unique_ptr<RelayStore> OpenRelayStore(const std::filesystem::path& dataDir) {
  std::error_code ec;
  std::filesystem::create_directories(dataDir, ec);
  if (ec) throw std::runtime_error("cannot create " + dataDir.string() + ": " + ec.message());
  auto store = std::make_unique<RelayStore>();
  // Absolute, so the paths shown for uploads stay right whatever the reader's folder.
  store->dataDir = std::filesystem::absolute(dataDir, ec);
  if (ec) store->dataDir = dataDir;
  sqlite3* db = nullptr;
  const std::string file = (dataDir / "relay.db").string();
  const int rc = sqlite3_open_v2(
      file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  store->db.reset(db);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("cannot open " + file + ": " +
                             (db != nullptr ? sqlite3_errmsg(db) : "out of memory"));
  }
  // Another relay or a sqlite3 shell may read the same file; wait for it instead of failing.
  sqlite3_busy_timeout(db, 5000);
  Execute(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  Execute(db, kSchema);
  Transaction transaction(db);
  Execute(db, kMoveContentsOutOfCommands);
  transaction.Commit();
  return store;
}

std::int64_t QueueCommand(RelayStore& store, const NewCommand& command) {
  std::lock_guard lock(store.mutex);
  sqlite3* db = store.db.get();
  Transaction transaction(db);
  Statement insert(db, "INSERT INTO commands(license_key, type, xml_type, file_name, state, "
                       "queued_at) VALUES(?, ?, ?, ?, ?, ?)");
  insert.BindText(1, command.licenseKey)
      .BindText(2, command.type)
      .Bind(3, command.xmlType)
      .Bind(4, command.fileName)
      .BindText(5, kStateQueued)
      .BindText(6, UtcTimestamp());
  insert.Step();
  const std::int64_t id = sqlite3_last_insert_rowid(db);
  if (command.xmlContent) {
    Statement content(db, "INSERT INTO command_contents(command_id, xml_content) VALUES(?, ?)");
    content.Bind(1, id).BindText(2, *command.xmlContent);
    content.Step();
  }
  transaction.Commit();
  return id;
}

std::optional<CommandRecord> HandOutNextCommand(RelayStore& store, const std::string& licenseKey) {
  std::lock_guard lock(store.mutex);
  sqlite3* db = store.db.get();
  Transaction transaction(db);
  std::int64_t id = 0;
  {
    Statement oldest(db, "SELECT id FROM commands WHERE license_key = ? AND state = ? "
                         "ORDER BY id LIMIT 1");
    oldest.BindText(1, licenseKey).BindText(2, kStateQueued);
    if (!oldest.Step()) return std::nullopt;
    id = oldest.Int(0);
  }
  // The index on hand_out_order makes MAX() one look at its last entry, not a scan.
  Statement update(db, "UPDATE commands SET state = ?, handed_out_at = ?, hand_out_order = "
                       "(SELECT COALESCE(MAX(hand_out_order), 0) + 1 FROM commands) WHERE id = ?");
  update.BindText(1, kStateInFlight).BindText(2, UtcTimestamp()).Bind(3, id);
  update.Step();
  std::optional<CommandRecord> record = FindCommandLocked(db, id);
  transaction.Commit();
  return record;
}

std::optional<CommandRecord> FindCommand(RelayStore& store, std::int64_t id) {
  std::lock_guard lock(store.mutex);
  return FindCommandLocked(store.db.get(), id);
}

std::vector<CommandRecord> ListCommands(RelayStore& store,
                                        const std::optional<std::string>& licenseKey) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(), std::string("SELECT ") + kCommandColumns +
                                      " WHERE ?1 IS NULL OR c.license_key = ?1 ORDER BY c.id");
  query.Bind(1, licenseKey);
  std::vector<CommandRecord> records;
  while (query.Step())
    records.push_back(ReadCommand(query));
  return records;
}

CompletionOutcome CompleteCommand(RelayStore& store, std::int64_t id, const std::string& licenseKey,
                                  bool succeeded, const std::string& error) {
  std::lock_guard lock(store.mutex);
  sqlite3* db = store.db.get();
  const std::optional<CommandRecord> record = FindCommandLocked(db, id);
  if (!record) return CompletionOutcome::UnknownCommand;
  if (record->command.licenseKey != licenseKey) return CompletionOutcome::OtherKey;
  if (record->state == kStateQueued) return CompletionOutcome::NotHandedOut;
  if (record->state != kStateInFlight) return CompletionOutcome::AlreadyFinished;
  Statement update(db, "UPDATE commands SET state = ?, finished_at = ?, completion_error = ? "
                       "WHERE id = ? AND state = ?");
  update.BindText(1, succeeded ? kStateCompleted : kStateFailed)
      .BindText(2, UtcTimestamp())
      .BindText(3, error)
      .Bind(4, id)
      .BindText(5, kStateInFlight);
  update.Step();
  return CompletionOutcome::Accepted;
}

ReleaseOutcome ReleaseInFlightCommand(RelayStore& store, std::int64_t id,
                                      const std::optional<std::string>& failure) {
  std::lock_guard lock(store.mutex);
  sqlite3* db = store.db.get();
  if (!FindCommandLocked(db, id)) return ReleaseOutcome::UnknownCommand;
  Statement update(db, failure ? "UPDATE commands SET state = ?2, finished_at = ?3, "
                                 "completion_error = ?4 WHERE id = ?1 AND state = ?5"
                               : "UPDATE commands SET state = ?2, handed_out_at = NULL, "
                                 "hand_out_order = NULL WHERE id = ?1 AND state = ?5");
  update.Bind(1, id).BindText(2, failure ? kStateFailed : kStateQueued);
  if (failure) update.BindText(3, UtcTimestamp()).BindText(4, *failure);
  update.BindText(5, kStateInFlight);
  update.Step();
  return sqlite3_changes(db) == 1 ? ReleaseOutcome::Released : ReleaseOutcome::NotInFlight;
}

std::optional<std::int64_t> InFlightCommandFor(RelayStore& store, const std::string& licenseKey,
                                               const std::vector<std::string>& types,
                                               bool anyTypeOtherwise) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(),
                  "SELECT id, type FROM commands WHERE license_key = ? AND state = ? "
                  "ORDER BY hand_out_order DESC");
  query.BindText(1, licenseKey).BindText(2, kStateInFlight);
  std::optional<std::int64_t> latest;
  while (query.Step()) {
    if (!latest && anyTypeOtherwise) latest = query.Int(0);
    for (const std::string& type : types) {
      if (query.Text(1) == type) return query.Int(0);
    }
  }
  return latest;
}

std::int64_t RecordEvent(RelayStore& store, const EventRecord& event) {
  std::lock_guard lock(store.mutex);
  Statement insert(store.db.get(),
                   "INSERT INTO events(received_at, method, path, query, kind, license_key, "
                   "command_id, status, body, body_size, error) "
                   "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.BindText(1, UtcTimestamp())
      .BindText(2, event.method)
      .BindText(3, event.path)
      .BindText(4, event.query)
      .BindText(5, event.kind)
      .BindText(6, event.licenseKey)
      .Bind(7, event.commandId)
      .Bind(8, std::int64_t{event.status})
      .BindBlob(9, event.body)
      .Bind(10, event.bodySize)
      .BindText(11, event.error);
  insert.Step();
  return sqlite3_last_insert_rowid(store.db.get());
}

std::vector<EventRecord> EventsSince(RelayStore& store, std::int64_t since, std::int64_t limit) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(), std::string("SELECT ") + kEventColumns +
                                      " FROM events WHERE seq > ? ORDER BY seq LIMIT ?");
  query.Bind(1, since).Bind(2, limit);
  std::vector<EventRecord> events;
  while (query.Step())
    events.push_back(ReadEvent(query));
  return events;
}

std::vector<EventRecord> EventsForCommand(RelayStore& store, std::int64_t commandId) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(), std::string("SELECT ") + kEventColumns +
                                      " FROM events WHERE command_id = ? ORDER BY seq");
  query.Bind(1, commandId);
  std::vector<EventRecord> events;
  while (query.Step())
    events.push_back(ReadEvent(query));
  return events;
}

void RecordRegistration(RelayStore& store, const Registration& registration) {
  std::lock_guard lock(store.mutex);
  const std::string now = UtcTimestamp();
  Statement upsert(store.db.get(),
                   "INSERT INTO registrations(license_key, email, machine_id, plugin_version, "
                   "first_at, last_at, count) VALUES(?1, ?2, ?3, ?4, ?5, ?5, 1) "
                   "ON CONFLICT(license_key) DO UPDATE SET email = ?2, machine_id = ?3, "
                   "plugin_version = ?4, last_at = ?5, count = count + 1");
  upsert.BindText(1, registration.licenseKey)
      .BindText(2, registration.email)
      .BindText(3, registration.machineId)
      .BindText(4, registration.pluginVersion)
      .BindText(5, now);
  upsert.Step();
}

std::vector<Registration> ListRegistrations(RelayStore& store) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(),
                  "SELECT license_key, email, machine_id, plugin_version, first_at, last_at, "
                  "count FROM registrations ORDER BY first_at, license_key");
  std::vector<Registration> registrations;
  while (query.Step()) {
    registrations.push_back(Registration{query.Text(0), query.Text(1), query.Text(2), query.Text(3),
                                         query.Text(4), query.Text(5), query.Int(6)});
  }
  return registrations;
}

void RecordIngest(RelayStore& store, const IngestRecord& ingest) {
  std::lock_guard lock(store.mutex);
  Statement insert(store.db.get(),
                   "INSERT INTO ingested(license_key, command_id, original_name, stored_name, "
                   "path, size, received_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
  insert.BindText(1, ingest.licenseKey)
      .Bind(2, ingest.commandId)
      .BindText(3, ingest.originalName)
      .BindText(4, ingest.storedName)
      .BindText(5, ingest.path)
      .Bind(6, ingest.size)
      .BindText(7, UtcTimestamp());
  insert.Step();
}

std::vector<IngestRecord> IngestsForCommand(RelayStore& store, std::int64_t commandId) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(), std::string("SELECT ") + kIngestColumns +
                                      " FROM ingested WHERE command_id = ? ORDER BY id");
  query.Bind(1, commandId);
  std::vector<IngestRecord> ingests;
  while (query.Step())
    ingests.push_back(ReadIngest(query));
  return ingests;
}

std::vector<IngestRecord> ListIngests(RelayStore& store) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(),
                  std::string("SELECT ") + kIngestColumns + " FROM ingested ORDER BY id");
  std::vector<IngestRecord> ingests;
  while (query.Step())
    ingests.push_back(ReadIngest(query));
  return ingests;
}

std::optional<IngestRecord> FindIngest(RelayStore& store, const std::string& storedName) {
  std::lock_guard lock(store.mutex);
  Statement query(store.db.get(), std::string("SELECT ") + kIngestColumns +
                                      " FROM ingested WHERE stored_name = ? "
                                      "ORDER BY id DESC LIMIT 1");
  query.BindText(1, storedName);
  if (!query.Step()) return std::nullopt;
  return ReadIngest(query);
}
