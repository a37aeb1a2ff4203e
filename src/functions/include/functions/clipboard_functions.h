// The calculation functions that move the host's objects through the clipboard as XML text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "functions/calculation_call.h"

namespace tideloom {

// As registered with the host: each reads its parameters and answers with one text.
std::string SetXMLClipboardFunction(const CalculationCall& call);
std::string GetXMLClipboardFunction(const CalculationCall& call);
std::string GetTextClipboardFunction(const CalculationCall& call);
std::string SetTextClipboardFunction(const CalculationCall& call);
std::string ClipboardFormatsFunction(const CalculationCall& call);
std::string PrepareXMLClipboardFunction(const CalculationCall& call);

// The same functions once their parameters are read.
namespace clipboard_functions {

std::string SetXml(std::string_view xmlType, std::string_view xmlContent);
std::string GetXml(std::string_view xmlType);
std::string GetText();
std::string SetText(std::string_view text);
std::string Formats();
// `xmlType` is absent when the caller passed no parameter; then the text decides the type.
std::string PrepareXml(const std::optional<std::string>& xmlType);

// The type key of a snippet, by the first of the host's element names that occurs in it.
std::string_view DetectXmlType(std::string_view xml);

} // namespace clipboard_functions

} // namespace tideloom
