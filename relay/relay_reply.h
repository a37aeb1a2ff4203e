// What every endpoint hands back: the answer to send and the facts to record about the request.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

struct RelayContext;

// Member order matters to readers that scan the text, so objects keep insertion order.
using Json = nlohmann::ordered_json;

struct Reply {
  int status = 200;
  std::string body;
  std::string contentType = "application/json";
  bool record = true;   // add the request to the event log
  bool keepBody = true; // false when the bytes are kept elsewhere (uploads)
  std::string kind;
  std::string licenseKey;
  std::optional<std::int64_t> commandId;
  std::string error;
  std::optional<std::int64_t> bodySize; // for a body streamed to disk rather than kept in memory
};

using Handler = Reply (*)(RelayContext&, const httplib::Request&);
using BodyReadingHandler = Reply (*)(RelayContext&, const httplib::Request&,
                                     const httplib::ContentReader&);

// Compact JSON (no blank after a colon), with invalid UTF-8 replaced rather than thrown on.
std::string DumpJson(const Json& value);

// `text` as DumpJson writes a JSON string, byte for byte, appended to `out` without building a
// JSON value: a command's XML runs to hundreds of megabytes, which a value would copy twice and
// escape a character at a time.
void AppendJsonString(std::string& out, std::string_view text);

Reply JsonReply(std::string_view kind, int status, const Json& body);
// {"error":"<message>"} with the given status; the message is also what gets recorded.
Reply ErrorReply(std::string_view kind, int status, const std::string& message);
// Keeps what was already learnt about the request (key, command) in the failure reply.
Reply Refuse(Reply facts, int status, const std::string& message);

// Bodies nested deeper are refused, and shown as text: every JSON value is copied and written out
// recursively, so depth without a bound would let one request overflow a worker's stack.
inline constexpr int kMaxJsonDepth = 64;
// True when arrays and objects in `text` nest deeper than `limit`; brackets in strings do not
// count.
bool JsonNestedDeeperThan(std::string_view text, int limit);

// The request body as a JSON object, or a 400 reply saying why not.
std::optional<Json> ParseJsonObject(const httplib::Request& request, Reply& failure);

// A member that must be a non-empty string.
std::optional<std::string> RequiredString(const Json& object, const char* name, Reply& failure);
// A member that must be a string when present (it may be empty).
bool OptionalString(const Json& object, const char* name, std::optional<std::string>& value,
                    Reply& failure);

// True when keys are restricted and this one is not among them.
bool KeyRefused(const RelayContext& context, const std::string& key);

// Command ids travel as JSON strings of the database's row number.
std::string CommandIdText(std::int64_t id);
std::optional<std::int64_t> ParseCommandId(std::string_view text);
