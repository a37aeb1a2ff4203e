#include "relay/relay_reply.h"

#include <charconv>

#include "relay/relay_messages.h"
#include "relay/relay_routes.h"

std::string DumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Reply JsonReply(std::string_view kind, int status, const Json& body) {
  Reply reply;
  reply.kind = kind;
  reply.status = status;
  reply.body = DumpJson(body);
  return reply;
}

Reply ErrorReply(std::string_view kind, int status, const std::string& message) {
  Reply reply = JsonReply(kind, status, Json{{"error", message}});
  reply.error = message;
  return reply;
}

Reply Refuse(Reply facts, int status, const std::string& message) {
  Reply reply = ErrorReply(facts.kind, status, message);
  reply.licenseKey = std::move(facts.licenseKey);
  reply.commandId = facts.commandId;
  reply.keepBody = facts.keepBody;
  reply.bodySize = facts.bodySize;
  reply.record = facts.record || status >= 400;
  return reply;
}

bool JsonNestedDeeperThan(std::string_view text, int limit) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

std::optional<Json> ParseJsonObject(const httplib::Request& request, Reply& failure) {
  if (JsonNestedDeeperThan(request.body, kMaxJsonDepth)) {
    failure = Refuse(failure, 400, std::string(relay_text::kBodyTooDeep));
    return std::nullopt;
  }
  Json parsed;
  try {
    parsed = Json::parse(request.body);
  } catch (const Json::exception& error) {
    failure = Refuse(failure, 400, std::string(relay_text::kBodyNotJson) + error.what());
    return std::nullopt;
  }
  if (!parsed.is_object()) {
    failure = Refuse(failure, 400, std::string(relay_text::kBodyNotObject));
    return std::nullopt;
  }
  return parsed;
}

std::optional<std::string> RequiredString(const Json& object, const char* name, Reply& failure) {
  const auto member = object.find(name);
  if (member == object.end() || !member->is_string() ||
      member->get_ref<const std::string&>().empty()) {
    failure = Refuse(failure, 400, relay_text::MissingStringMember(name));
    return std::nullopt;
  }
  return member->get<std::string>();
}

bool OptionalString(const Json& object, const char* name, std::optional<std::string>& value,
                    Reply& failure) {
  const auto member = object.find(name);
  if (member == object.end()) return true;
  if (!member->is_string()) {
    failure = Refuse(failure, 400, relay_text::NotAStringMember(name));
    return false;
  }
  value = member->get<std::string>();
  return true;
}

bool KeyRefused(const RelayContext& context, const std::string& key) {
  return context.acceptedKeys && !context.acceptedKeys->contains(key);
}

std::string CommandIdText(std::int64_t id) { return std::to_string(id); }

std::optional<std::int64_t> ParseCommandId(std::string_view text) {
  std::int64_t id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || id <= 0) {
    return std::nullopt;
  }
  return id;
}
