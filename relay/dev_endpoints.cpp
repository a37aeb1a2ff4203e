#include "relay/dev_endpoints.h"

#include <charconv>
#include <cmath>

#include "relay/relay_messages.h"
#include "relay/relay_routes.h"
#include "relay/stored_files.h"

namespace {

// Looking around is not worth recording; a malformed look is.
Reply Look(const Json& body) {
  Reply reply = JsonReply("dev", 200, body);
  reply.record = false;
  return reply;
}

Reply Facts() {
  Reply facts;
  facts.kind = "dev";
  return facts;
}

void PutIfNotEmpty(Json& object, const char* name, const std::string& value) {
  if (!value.empty()) object[name] = value;
}

std::string IngestedUrl(const std::string& storedName) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "/dev/ingested/";
  for (const char c : storedName) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      url.push_back(c);
    } else {
      url.push_back('%');
      url.push_back(kHex[byte >> 4]);
      url.push_back(kHex[byte & 0x0F]);
    }
  }
  return url;
}

Json CommandSummary(const CommandRecord& record) {
  Json view;
  view["id"] = CommandIdText(record.id);
  view["licenseKey"] = record.command.licenseKey;
  view["type"] = record.command.type;
  if (record.command.xmlType) view["xmlType"] = *record.command.xmlType;
  if (record.command.xmlContent) view["xmlContent"] = *record.command.xmlContent;
  if (record.command.fileName) view["fileName"] = *record.command.fileName;
  view["state"] = record.state;
  view["queuedAt"] = record.queuedAt;
  PutIfNotEmpty(view, "handedOutAt", record.handedOutAt);
  PutIfNotEmpty(view, "finishedAt", record.finishedAt);
  return view;
}

Json IngestView(const IngestRecord& ingest) {
  Json view;
  view["name"] = ingest.storedName;
  view["originalName"] = ingest.originalName;
  view["size"] = ingest.size;
  view["path"] = ingest.path;
  view["url"] = IngestedUrl(ingest.storedName);
  view["receivedAt"] = ingest.receivedAt;
  if (ingest.commandId) view["commandId"] = CommandIdText(*ingest.commandId);
  return view;
}

std::optional<std::int64_t> WholeNumber(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 0) {
    return std::nullopt;
  }
  return value;
}

Json HoldsView(RelayContext& context) {
  Json rules = Json::array();
  for (const HoldRule& rule : HoldRules(context.holds)) {
    rules.push_back(Json{{"route", rule.route}, {"seconds", rule.seconds}});
  }
  return Json{{"holds", rules}, {"held", HeldRequestCount(context.holds)}};
}

// A command whose plug-in went away stays in flight for ever unless a developer lets it go.
Reply ReleaseCommand(RelayContext& context, const httplib::Request& request,
                     const std::optional<std::string>& failure) {
  const std::string idText = request.matches.size() > 1 ? request.matches[1].str() : "";
  const std::optional<std::int64_t> id = ParseCommandId(idText);
  const ReleaseOutcome outcome =
      id ? ReleaseInFlightCommand(*context.store, *id, failure) : ReleaseOutcome::UnknownCommand;
  const std::optional<CommandRecord> now = id ? FindCommand(*context.store, *id) : std::nullopt;
  Reply facts = Facts();
  if (now) {
    facts.licenseKey = now->command.licenseKey;
    facts.commandId = now->id;
  }
  if (outcome == ReleaseOutcome::UnknownCommand || !now) {
    return Refuse(facts, 404, std::string(relay_text::kUnknownCommand) + idText);
  }
  if (outcome == ReleaseOutcome::NotInFlight) {
    return Refuse(facts, 409, std::string(relay_text::kCommandNotInFlight) + now->state);
  }
  Reply reply = JsonReply("dev", 200, Json{{"id", CommandIdText(now->id)}, {"state", now->state}});
  reply.licenseKey = facts.licenseKey;
  reply.commandId = facts.commandId;
  return reply;
}

} // namespace

Json EventView(const EventRecord& event) {
  Json view;
  view["seq"] = event.seq;
  view["receivedAt"] = event.receivedAt;
  view["method"] = event.method;
  view["path"] = event.path;
  PutIfNotEmpty(view, "query", event.query);
  view["kind"] = event.kind;
  PutIfNotEmpty(view, "licenseKey", event.licenseKey);
  if (event.commandId) view["commandId"] = CommandIdText(*event.commandId);
  view["status"] = event.status;
  view["bodySize"] = event.bodySize;
  if (!event.body.empty()) {
    Json parsed = JsonNestedDeeperThan(event.body, kMaxJsonDepth)
                      ? Json(Json::value_t::discarded)
                      : Json::parse(event.body, nullptr, false);
    if (parsed.is_discarded()) {
      view["bodyText"] = event.body;
    } else {
      view["body"] = std::move(parsed);
    }
  }
  PutIfNotEmpty(view, "error", event.error);
  return view;
}

Reply HandleQueueCommand(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts();
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  NewCommand command;
  const auto key = RequiredString(*body, "licenseKey", facts);
  if (!key) return facts;
  facts.licenseKey = command.licenseKey = *key;
  const auto type = RequiredString(*body, "type", facts);
  if (!type) return facts;
  command.type = *type;
  if (!OptionalString(*body, "xmlType", command.xmlType, facts) ||
      !OptionalString(*body, "xmlContent", command.xmlContent, facts) ||
      !OptionalString(*body, "fileName", command.fileName, facts)) {
    return facts;
  }
  const std::int64_t id = QueueCommand(*context.store, command);
  Reply reply = JsonReply("dev", 200, Json{{"id", CommandIdText(id)}});
  reply.licenseKey = command.licenseKey;
  reply.commandId = id;
  reply.keepBody = false; // the command table holds it
  return reply;
}

Reply HandleRequeueCommand(RelayContext& context, const httplib::Request& request) {
  return ReleaseCommand(context, request, std::nullopt);
}

Reply HandleFailCommand(RelayContext& context, const httplib::Request& request) {
  return ReleaseCommand(context, request, std::string(relay_text::kFailedOnPage));
}

Reply HandleListCommands(RelayContext& context, const httplib::Request& request) {
  std::optional<std::string> key;
  if (request.has_param("licenseKey")) key = request.get_param_value("licenseKey");
  Json list = Json::array();
  for (const CommandRecord& record : ListCommands(*context.store, key)) {
    list.push_back(CommandSummary(record));
  }
  return Look(Json{{"commands", list}});
}

Reply HandleShowCommand(RelayContext& context, const httplib::Request& request) {
  const std::string idText = request.matches.size() > 1 ? request.matches[1].str() : "";
  const std::optional<std::int64_t> id = ParseCommandId(idText);
  const std::optional<CommandRecord> record = id ? FindCommand(*context.store, *id) : std::nullopt;
  if (!record) return ErrorReply("dev", 404, std::string(relay_text::kUnknownCommand) + idText);
  Json view = CommandSummary(*record);
  if (record->state == kStateCompleted || record->state == kStateFailed) {
    Json completion{{"status", record->state}};
    PutIfNotEmpty(completion, "error", record->completionError);
    view["completion"] = completion;
  }
  Json pushes = Json::array();
  Json diagnostics = Json::array();
  Json completions = Json::array();
  for (const EventRecord& event : EventsForCommand(*context.store, record->id)) {
    if (event.kind == "push") pushes.push_back(EventView(event));
    if (event.kind == "diagnostic") diagnostics.push_back(EventView(event));
    if (event.kind == "complete") completions.push_back(EventView(event));
  }
  Json ingested = Json::array();
  for (const IngestRecord& ingest : IngestsForCommand(*context.store, record->id)) {
    ingested.push_back(IngestView(ingest));
  }
  view["pushes"] = pushes;
  view["diagnostics"] = diagnostics;
  view["completions"] = completions;
  view["ingested"] = ingested;
  return Look(view);
}

Reply HandleListEvents(RelayContext& context, const httplib::Request& request) {
  std::int64_t since = 0;
  std::int64_t limit = 1000;
  if (request.has_param("since")) {
    const std::optional<std::int64_t> value = WholeNumber(request.get_param_value("since"));
    if (!value) return ErrorReply("dev", 400, std::string(relay_text::kBadSince));
    since = *value;
  }
  if (request.has_param("limit")) {
    const std::optional<std::int64_t> value = WholeNumber(request.get_param_value("limit"));
    if (!value) return ErrorReply("dev", 400, std::string(relay_text::kBadLimit));
    limit = *value;
  }
  Json list = Json::array();
  std::int64_t last = since;
  for (const EventRecord& event : EventsSince(*context.store, since, limit)) {
    list.push_back(EventView(event));
    last = event.seq;
  }
  return Look(Json{{"events", list}, {"last", last}});
}

Reply HandleListIngested(RelayContext& context, const httplib::Request&) {
  Json list = Json::array();
  for (const IngestRecord& ingest : ListIngests(*context.store)) {
    list.push_back(IngestView(ingest));
  }
  return Look(Json{{"ingested", list}});
}

Reply HandleIngestedFile(RelayContext& context, const httplib::Request& request) {
  const std::string name = request.matches.size() > 1 ? request.matches[1].str() : "";
  // Only names the relay stored itself are served, never a path the caller made up.
  const std::optional<IngestRecord> ingest = FindIngest(*context.store, name);
  Reply reply;
  if (!ingest || !ReadWholeFile(ingest->path, reply.body)) {
    return ErrorReply("dev", 404, std::string(relay_text::kNoSuchFile) + name);
  }
  reply.kind = "dev";
  reply.record = false;
  reply.contentType = name.ends_with(".xml") ? "application/xml" : "application/octet-stream";
  return reply;
}

Reply HandleListRegistrations(RelayContext& context, const httplib::Request&) {
  Json list = Json::array();
  for (const Registration& r : ListRegistrations(*context.store)) {
    list.push_back(Json{{"licenseKey", r.licenseKey},
                        {"email", r.email},
                        {"machineId", r.machineId},
                        {"pluginVersion", r.pluginVersion},
                        {"firstAt", r.firstAt},
                        {"lastAt", r.lastAt},
                        {"count", r.count}});
  }
  return Look(Json{{"registrations", list}});
}

Reply HandleShowHolds(RelayContext& context, const httplib::Request&) {
  return Look(HoldsView(context));
}

Reply HandleSetHold(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts();
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  const auto route = body->find("route");
  if (route == body->end() || !route->is_string() ||
      !route->get_ref<const std::string&>().starts_with("/")) {
    return Refuse(facts, 400, std::string(relay_text::kBadHoldRoute));
  }
  const auto seconds = body->find("seconds");
  if (seconds == body->end() || !seconds->is_number() || !std::isfinite(seconds->get<double>()) ||
      seconds->get<double>() < 0 || seconds->get<double>() > kMaxHoldSeconds) {
    return Refuse(facts, 400, std::string(relay_text::kBadHoldSeconds));
  }
  SetHoldRule(context.holds, HoldRule{route->get<std::string>(), seconds->get<double>()});
  return JsonReply("dev", 200, HoldsView(context));
}
