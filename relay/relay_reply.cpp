#include "relay/relay_reply.h"

#include <charconv>

#include "relay/relay_messages.h"
#include "relay/relay_routes.h"

std::string DumpJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

namespace {

// The length of the well-formed UTF-8 sequence at `at`, or 0: no overlong forms, no surrogates,
// nothing past U+10FFFF.
std::size_t WellFormedSequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(at + k);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.reserve(start + text.size() + text.size() / 8 + 2);
  out += '"';
  std::size_t copied = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      const std::size_t length = WellFormedSequenceAt(text, i);
      if (length == 0) {
        // How ill-formed text is replaced is DumpJson's to say.
        out.resize(start);
        out += DumpJson(Json(text));
        return;
      }
      i += length;
      continue;
    }
    if (byte >= 0x20 && byte != '"' && byte != '\\') {
      ++i;
      continue;
    }
    out.append(text, copied, i - copied);
    out += '\\';
    switch (byte) {
    case '"':
      out += '"';
      break;
    case '\\':
      out += '\\';
      break;
    case '\b':
      out += 'b';
      break;
    case '\t':
      out += 't';
      break;
    case '\n':
      out += 'n';
      break;
    case '\f':
      out += 'f';
      break;
    case '\r':
      out += 'r';
      break;
    default: {
      constexpr char kHex[] = "0123456789abcdef";
      out += "u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
    }
    copied = ++i;
  }
  out.append(text, copied);
  out += '"';
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
