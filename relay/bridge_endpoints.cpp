#include "relay/bridge_endpoints.h"

#include "relay/relay_messages.h"
#include "relay/relay_routes.h"
#include "relay/stored_files.h"

namespace {

Reply Facts(std::string_view kind) {
  Reply facts;
  facts.kind = kind;
  return facts;
}

Reply Accepted(const Reply& facts, const Json& body) {
  Reply reply = JsonReply(facts.kind, 200, body);
  reply.licenseKey = facts.licenseKey;
  reply.commandId = facts.commandId;
  reply.keepBody = facts.keepBody;
  reply.bodySize = facts.bodySize;
  return reply;
}

// {"command":{...}} written out directly; the members as the plug-in reads them, in this order.
std::string PollReplyBody(const CommandRecord& record) {
  std::string body = "{\"command\":{";
  const auto member = [&body](std::string_view name, const std::string& value) {
    if (body.back() != '{') body += ',';
    AppendJsonString(body, name);
    body += ':';
    AppendJsonString(body, value);
  };
  member("id", CommandIdText(record.id));
  member("type", record.command.type);
  if (record.command.xmlType) member("xmlType", *record.command.xmlType);
  if (record.command.xmlContent) member("xmlContent", *record.command.xmlContent);
  if (record.command.fileName) member("fileName", *record.command.fileName);
  body += "}}";
  return body;
}

// Reads a refused upload to its end, so that the connection stays usable for the next request.
void Drain(const httplib::Request& request, const httplib::ContentReader& body) {
  const auto discard = [](const char*, std::size_t) { return true; };
  if (request.is_multipart_form_data()) {
    body([](const httplib::MultipartFormData&) { return true; }, discard);
  } else {
    body(discard);
  }
}

// The upload's bytes, as they arrive: the whole body, or the part named "file" of a form (whose
// "filename" field, else the file part's own file name, names it when the query does not).
// False when the body ended early or could not be written.
bool ReceiveUpload(const httplib::Request& request, const httplib::ContentReader& body,
                   IncomingFile& file, std::string& formName) {
  if (!request.is_multipart_form_data()) {
    return body([&](const char* data, std::size_t size) { return file.Append({data, size}); });
  }
  std::string part;
  std::string nameField;
  const bool complete = body(
      [&](const httplib::MultipartFormData& header) {
        part = header.name;
        if (part == "file" && formName.empty()) formName = header.filename;
        return true;
      },
      [&](const char* data, std::size_t size) {
        if (part == "file") return file.Append({data, size});
        // A file name, not a document: anything longer than a path could be is not one.
        if (part == "filename" && nameField.size() + size <= 4096) nameField.append(data, size);
        return true;
      });
  if (!nameField.empty()) formName = nameField;
  return complete;
}

} // namespace

std::vector<std::string> CommandTypesForPush(const std::string& xmlType) {
  if (xmlType == "FILE_LIST") return {"LIST_FILES", "GET_SCHEMA"};
  if (xmlType == "CLIPBOARD_FORMATS") return {"GET_CLIPBOARD_FORMATS"};
  if (xmlType == "CONTEXT_DEBUG") return {"DEBUG_CONTEXT"};
  return {"GET_CLIPBOARD"};
}

Reply HandleRegister(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts("register");
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  if (const auto it = body->find("licenseKey"); it != body->end() && it->is_string()) {
    facts.licenseKey = it->get<std::string>();
  }
  std::optional<std::string> pluginVersion;
  const auto email = RequiredString(*body, "email", facts);
  if (!email) return facts;
  const auto key = RequiredString(*body, "licenseKey", facts);
  if (!key) return facts;
  const auto machineId = RequiredString(*body, "machineId", facts);
  if (!machineId) return facts;
  if (!OptionalString(*body, "pluginVersion", pluginVersion, facts)) return facts;
  if (KeyRefused(context, *key)) return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  RecordRegistration(*context.store,
                     Registration{*key, *email, *machineId, pluginVersion.value_or(""), {}, {}, 0});
  return Accepted(facts, Json{{"status", "registered"}});
}

Reply HandleNextCommand(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts("poll");
  facts.licenseKey = request.get_param_value("licenseKey");
  if (facts.licenseKey.empty()) {
    return Refuse(facts, 400, std::string(relay_text::kMissingKeyQuery));
  }
  if (KeyRefused(context, facts.licenseKey)) {
    return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  }
  const std::optional<CommandRecord> next = HandOutNextCommand(*context.store, facts.licenseKey);
  if (!next) return Accepted(facts, Json{{"command", nullptr}});
  facts.commandId = next->id;
  Reply reply = Accepted(facts, Json::object());
  reply.body = PollReplyBody(*next);
  return reply;
}

Reply HandlePush(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts("push");
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  const auto key = RequiredString(*body, "licenseKey", facts);
  if (!key) return facts;
  facts.licenseKey = *key;
  std::optional<std::string> xmlType;
  std::optional<std::string> xmlContent;
  std::optional<std::string> label;
  if (!OptionalString(*body, "xmlType", xmlType, facts) ||
      !OptionalString(*body, "xmlContent", xmlContent, facts) ||
      !OptionalString(*body, "label", label, facts)) {
    return facts;
  }
  if (!xmlType) return Refuse(facts, 400, relay_text::MissingStringMember("xmlType"));
  if (!xmlContent) return Refuse(facts, 400, relay_text::NotAStringMember("xmlContent"));
  if (KeyRefused(context, *key)) return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  facts.commandId = InFlightCommandFor(*context.store, *key, CommandTypesForPush(*xmlType), true);
  Json answer{{"received", true}};
  answer["commandId"] = facts.commandId ? Json(CommandIdText(*facts.commandId)) : Json(nullptr);
  return Accepted(facts, answer);
}

Reply HandleCompletion(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts("complete");
  const std::string idText = request.matches.size() > 1 ? request.matches[1].str() : "";
  const std::optional<std::int64_t> id = ParseCommandId(idText);
  const std::optional<CommandRecord> command = id ? FindCommand(*context.store, *id) : std::nullopt;
  if (command) facts.commandId = command->id;
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  const auto key = RequiredString(*body, "licenseKey", facts);
  if (!key) return facts;
  facts.licenseKey = *key;
  const auto status = RequiredString(*body, "status", facts);
  if (!status) return facts;
  std::optional<std::string> error;
  if (!OptionalString(*body, "error", error, facts)) return facts;
  if (*status != "completed" && *status != "failed") {
    return Refuse(facts, 400, std::string(relay_text::kBadStatus));
  }
  if (KeyRefused(context, *key)) return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  if (!command) return Refuse(facts, 404, std::string(relay_text::kUnknownCommand) + idText);
  switch (CompleteCommand(*context.store, command->id, *key, *status == "completed",
                          error.value_or(""))) {
  case CompletionOutcome::Accepted:
    break;
  case CompletionOutcome::UnknownCommand:
    return Refuse(facts, 404, std::string(relay_text::kUnknownCommand) + idText);
  case CompletionOutcome::OtherKey:
    return Refuse(facts, 403, std::string(relay_text::kCommandOfOtherKey));
  case CompletionOutcome::NotHandedOut:
    return Refuse(facts, 409, std::string(relay_text::kCommandNotHandedOut));
  case CompletionOutcome::AlreadyFinished: {
    const std::optional<CommandRecord> now = FindCommand(*context.store, command->id);
    return Refuse(facts, 409,
                  std::string(relay_text::kCommandAlreadyFinished) + (now ? now->state : ""));
  }
  }
  return Accepted(facts, Json{{"id", CommandIdText(command->id)}, {"state", *status}});
}

Reply HandleDiagnostic(RelayContext& context, const httplib::Request& request) {
  Reply facts = Facts("diagnostic");
  const std::optional<Json> body = ParseJsonObject(request, facts);
  if (!body) return facts;
  const auto key = RequiredString(*body, "licenseKey", facts);
  if (!key) return facts;
  facts.licenseKey = *key;
  const auto code = RequiredString(*body, "code", facts);
  if (!code) return facts;
  std::optional<std::string> status;
  std::optional<std::string> message;
  if (!OptionalString(*body, "status", status, facts) ||
      !OptionalString(*body, "message", message, facts)) {
    return facts;
  }
  if (KeyRefused(context, *key)) return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  // Status records all describe the schema command's progress.
  facts.commandId = InFlightCommandFor(*context.store, *key, {"GET_SCHEMA"}, true);
  Json answer{{"received", true}};
  answer["commandId"] = facts.commandId ? Json(CommandIdText(*facts.commandId)) : Json(nullptr);
  return Accepted(facts, answer);
}

Reply HandleIngest(RelayContext& context, const httplib::Request& request,
                   const httplib::ContentReader& body) {
  Reply facts = Facts("ingest");
  facts.keepBody = false;
  facts.licenseKey = request.matches.size() > 1 ? request.matches[1].str() : "";
  if (KeyRefused(context, facts.licenseKey)) {
    Drain(request, body);
    return Refuse(facts, 401, std::string(relay_text::kUnknownKey));
  }
  IncomingFile file(IngestFolder(*context.store));
  if (!file.error().empty()) {
    Drain(request, body);
    return Refuse(facts, 500, std::string(relay_text::kFileNotStored) + file.error());
  }
  std::string formName;
  const bool received = ReceiveUpload(request, body, file, formName);
  facts.bodySize = static_cast<std::int64_t>(file.size());
  if (!file.error().empty()) {
    return Refuse(facts, 500, std::string(relay_text::kFileNotStored) + file.error());
  }
  if (!received) return Refuse(facts, 400, std::string(relay_text::kUploadCutShort));
  std::string originalName = request.get_param_value("filename");
  if (originalName.empty()) originalName = formName;
  if (originalName.empty()) return Refuse(facts, 400, std::string(relay_text::kMissingFileName));
  facts.commandId = InFlightCommandFor(*context.store, facts.licenseKey, {"GET_SCHEMA"}, false);
  const StoredFile stored = file.Keep(SafeStoredFileName(originalName));
  if (!stored.error.empty()) {
    return Refuse(facts, 500, std::string(relay_text::kFileNotStored) + stored.error);
  }
  const auto size = static_cast<std::int64_t>(file.size());
  RecordIngest(*context.store, IngestRecord{facts.licenseKey,
                                            facts.commandId,
                                            originalName,
                                            stored.name,
                                            stored.path.string(),
                                            size,
                                            {}});
  Json answer{{"stored", stored.name}, {"size", size}};
  answer["commandId"] = facts.commandId ? Json(CommandIdText(*facts.commandId)) : Json(nullptr);
  return Accepted(facts, answer);
}

Reply HandlePluginVersion(RelayContext& context, const httplib::Request&) {
  return JsonReply("version", 200, Json{{"version", context.pluginVersion}});
}
