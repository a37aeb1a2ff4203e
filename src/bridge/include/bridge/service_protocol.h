// The web service's side of the bridge: its paths, and the fixed words the bridge and the
// service exchange. Every URL is the stored base URL with one of these paths appended as is.
#pragma once

#include <string_view>

namespace tideloom {

inline constexpr std::string_view kRegisterPath = "/api/bridge/register";
inline constexpr std::string_view kNextCommandPath = "/api/bridge/command/next";
inline constexpr std::string_view kCommandPathPrefix = "/api/bridge/command/";
inline constexpr std::string_view kCompletePathSuffix = "/complete";
inline constexpr std::string_view kPushPath = "/api/bridge/push";
inline constexpr std::string_view kDiagnosticPath = "/api/bridge/diagnostic";
inline constexpr std::string_view kPluginVersionPath = "/api/plugin/version";
// Followed by the encoded key, then kIngestNameQuery and the encoded upload name.
inline constexpr std::string_view kLiveIngestPathPrefix = "/api/live/ingest/";
inline constexpr std::string_view kIngestNameQuery = "?filename=";

// Completion statuses.
inline constexpr std::string_view kStatusCompleted = "completed";
inline constexpr std::string_view kStatusFailed = "failed";

// Statuses of a status record.
inline constexpr std::string_view kRecordReceived = "received";
inline constexpr std::string_view kRecordError = "error";

// Command types the service sends.
inline constexpr std::string_view kGetClipboardCommand = "GET_CLIPBOARD";
inline constexpr std::string_view kGetClipboardFormatsCommand = "GET_CLIPBOARD_FORMATS";
inline constexpr std::string_view kListFilesCommand = "LIST_FILES";
inline constexpr std::string_view kDebugContextCommand = "DEBUG_CONTEXT";
inline constexpr std::string_view kGetSchemaCommand = "GET_SCHEMA";
inline constexpr std::string_view kSetClipboardCommand = "SET_CLIPBOARD";

// Payload members of a command.
inline constexpr std::string_view kXmlTypeMember = "xmlType";
inline constexpr std::string_view kXmlContentMember = "xmlContent";
inline constexpr std::string_view kFileNameMember = "fileName";

// A GET_CLIPBOARD without a type asks for whatever XML the clipboard holds.
inline constexpr std::string_view kAutoClipboardType = "AUTO";

// Result types and labels of pushed results.
inline constexpr std::string_view kClipboardFormatsResult = "CLIPBOARD_FORMATS";
inline constexpr std::string_view kClipboardFormatsLabel = "Clipboard Formats";
inline constexpr std::string_view kFileListResult = "FILE_LIST";
inline constexpr std::string_view kFileListLabel = "Open Files";
inline constexpr std::string_view kContextDebugResult = "CONTEXT_DEBUG";
inline constexpr std::string_view kContextDebugLabel = "FileMaker Context Debug";

} // namespace tideloom
