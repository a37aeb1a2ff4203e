// What the idle executor needs of the host and of the clipboard, as one table: the plug-in
// passes the running host's calls for each idle call, tests pass their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tideloom {

struct IdleHostCalls {
  // Get(FileName) in the host's current context; empty when there is none.
  std::function<std::string()> currentFileName;
  // The open-file list and the context report, made in the host's current context.
  std::function<std::string()> listOpenFiles;
  std::function<std::string(std::string_view targetFileName)> contextDebug;
  bool (*getXmlClipboard)(std::string_view typeKey, std::string& xml, std::string& error);
  bool (*probeXmlClipboard)(std::string& typeKey, std::string& xml, std::string& error);
  bool (*listClipboardFormats)(std::string& listing, std::string& error);
  bool (*setXmlClipboard)(std::string_view typeKey, std::string_view xml, std::string& error);
  // Asks the host to run `scriptName` once control returns to it: in the file named `fileName`,
  // or in the current file when that is empty. The host's error number, 0 when queued.
  std::function<int16_t(std::string_view fileName, std::string_view scriptName)> startScript;
};

} // namespace tideloom
