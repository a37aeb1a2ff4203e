#include "functions/clipboard_functions.h"

#include <array>
#include <utility>

#include "core/parameter_messages.h"
#include "platform/clipboard.h"

namespace tideloom {

namespace clipboard_functions {

namespace {

constexpr std::string_view kPlainTextEmpty = "ERROR: plain text clipboard is empty.";
constexpr std::string_view kNotSnippet =
    "ERROR: clipboard text does not look like fmxmlsnippet XML.";
constexpr std::string_view kOk = "OK";

struct TypeMarker {
  std::string_view marker;
  std::string_view key;
};

// Searched in this order; a whole script holds steps too, and pastes as script steps.
constexpr std::array<TypeMarker, 8> kTypeMarkers = {{
    {"<Step", "XMSS"},
    {"<Script", "XMSC"},
    {"ScriptUUID", "XMSC"},
    {"<BaseTable", "XMTB"},
    {"<Table", "XMTB"},
    {"<Field", "XMFD"},
    {"<ValueList", "XMVL"},
    {"<CustomFunction", "XMFN"},
}};
constexpr std::string_view kLayoutObjectsKey = "XML2";

} // namespace

std::string_view DetectXmlType(std::string_view xml) {
  for (const TypeMarker& type : kTypeMarkers) {
    if (xml.find(type.marker) != std::string_view::npos) return type.key;
  }
  return kLayoutObjectsKey;
}

std::string SetXml(std::string_view xmlType, std::string_view xmlContent) {
  if (xmlType.empty()) return std::string(kXmlTypeEmpty);
  if (xmlContent.empty()) return std::string(kXmlContentEmpty);
  std::string error;
  return SetXmlClipboard(xmlType, xmlContent, error) ? std::string(kOk) : error;
}

std::string GetXml(std::string_view xmlType) {
  std::string xml;
  std::string error;
  if (xmlType.empty() || xmlType == "AUTO" || xmlType == "auto") {
    std::string foundType;
    return ProbeXmlClipboard(foundType, xml, error) ? xml : error;
  }
  return GetXmlClipboard(xmlType, xml, error) ? xml : error;
}

std::string GetText() {
  std::string text;
  std::string error;
  // A clipboard that cannot be read reads as one without text.
  return GetClipboardText(text, error) ? text : std::string();
}

std::string SetText(std::string_view text) {
  std::string error;
  return SetClipboardText(text, error) ? std::string(kOk) : error;
}

std::string Formats() {
  std::string listing;
  std::string error;
  return ListClipboardFormats(listing, error) ? listing : error;
}

std::string PrepareXml(const std::optional<std::string>& xmlType) {
  std::string text;
  std::string error;
  if (!GetClipboardText(text, error)) return error;
  if (text.empty()) return std::string(kPlainTextEmpty);
  if (text.find("<fmxmlsnippet") == std::string::npos) return std::string(kNotSnippet);
  const std::string key = xmlType ? *xmlType : std::string(DetectXmlType(text));
  if (key.empty()) return std::string(kXmlTypeEmpty);
  if (!SetXmlClipboard(key, text, error)) return error;
  return std::string(kOk) + ": " + key;
}

} // namespace clipboard_functions

std::string SetXMLClipboardFunction(const CalculationCall& call) {
  return clipboard_functions::SetXml(Parameter(call, 0), Parameter(call, 1));
}

std::string GetXMLClipboardFunction(const CalculationCall& call) {
  return clipboard_functions::GetXml(Parameter(call, 0));
}

std::string GetTextClipboardFunction(const CalculationCall&) {
  return clipboard_functions::GetText();
}

std::string SetTextClipboardFunction(const CalculationCall& call) {
  return clipboard_functions::SetText(Parameter(call, 0));
}

std::string ClipboardFormatsFunction(const CalculationCall&) {
  return clipboard_functions::Formats();
}

std::string PrepareXMLClipboardFunction(const CalculationCall& call) {
  // An empty parameter is still a parameter: it names the empty type rather than asking for
  // the text to decide.
  if (!call.parameters.empty()) {
    return clipboard_functions::PrepareXml(Parameter(call, 0));
  }
  return clipboard_functions::PrepareXml(std::nullopt);
}

} // namespace tideloom
