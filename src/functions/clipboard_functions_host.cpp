// The clipboard functions' host side: read the parameters, nothing more.
#include "functions/clipboard_functions.h"
#include "plugin/host_values.h"

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
  if (ParameterCount(call.parameters) >= 1) {
    return clipboard_functions::PrepareXml(Parameter(call, 0));
  }
  return clipboard_functions::PrepareXml(std::nullopt);
}
