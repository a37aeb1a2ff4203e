#include "json_output.h"

#include "utf_text.h"

namespace fmhost {

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const std::string valid = SanitizeUtf8(text);
  std::string out;
  out.reserve(valid.size() + 2);
  out += '"';
  for (const char c : valid) {
    switch (c) {
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\b':
      out += "\\b";
      break;
    case '\f':
      out += "\\f";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        out += "\\u00";
        out += kHex[(c >> 4) & 0xF];
        out += kHex[c & 0xF];
      } else {
        out += c;
      }
    }
  }
  out += '"';
  return out;
}

std::string EvaluationJson(std::string_view expression, const CalcResult& result) {
  std::string out = "{\"expr\":" + JsonString(expression);
  if (result.error != 0) {
    out += ",\"error\":" + std::to_string(result.error);
  } else {
    out += ",\"result\":" + JsonString(result.value.text);
  }
  return out + "}";
}

std::string DescriptionJson(const PluginDescription& description) {
  std::string out = "{\"startupResult\":";
  out += description.startupResult ? std::to_string(*description.startupResult) : "null";
  out += ",\"strings\":{";
  for (std::size_t i = 0; i < description.strings.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(std::to_string(description.strings[i].first)) + ':' +
           JsonString(description.strings[i].second);
  }
  out += "},\"functions\":[";
  for (std::size_t i = 0; i < description.functions.size(); ++i) {
    const RegisteredFunction& function = description.functions[i];
    if (i > 0) out += ',';
    out += "{\"pluginId\":" + JsonString(function.pluginId) +
           ",\"id\":" + std::to_string(function.id) + ",\"name\":" + JsonString(function.name) +
           ",\"prototype\":" + JsonString(function.prototype) +
           ",\"description\":" + JsonString(function.description) +
           ",\"min\":" + std::to_string(function.minParameters) +
           ",\"max\":" + std::to_string(function.maxParameters) +
           ",\"flags\":" + std::to_string(function.flags) + "}";
  }
  return out + "]}";
}

} // namespace fmhost
