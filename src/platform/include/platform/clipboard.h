// The host's XML on the clipboard, plain Unicode text, and the list of formats present.
// Every operation opens the clipboard, works and closes it again before it returns. They run on
// the host's main thread only. Operations return false with one message in `error` on failure
// and leave `error` untouched on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tideloom {

// The names under which the host keeps objects of one type key ("XMSS", "XMFD", ...), in the
// order they are written and searched.
std::vector<std::string> ClipboardFormatNames(std::string_view typeKey);

// 4 for the formats whose data starts with the XML's byte count, else 0.
std::size_t MacHeaderLength(std::string_view formatName);

// The predefined formats' names for the listing; empty text for any other id.
std::string_view StandardClipboardFormatName(uint32_t formatId);

// Replaces the whole clipboard with `xml` under every name of `typeKey`, then as Unicode text.
bool SetXmlClipboard(std::string_view typeKey, std::string_view xml, std::string& error);

// The XML under the first name of `typeKey` present; empty when none is (still true).
bool GetXmlClipboard(std::string_view typeKey, std::string& xml, std::string& error);

// The first known type key that yields non-empty XML, and that XML. False when none does;
// `error` then holds the first failed read's message, or is untouched when no read failed.
bool ProbeXmlClipboard(std::string& typeKey, std::string& xml, std::string& error);

// One line per format present: decimal id, TAB, name, LF.
bool ListClipboardFormats(std::string& listing, std::string& error);

// The Unicode text as UTF-8; empty when there is none (still true).
bool GetClipboardText(std::string& text, std::string& error);

// Replaces the whole clipboard with `text` as Unicode text.
bool SetClipboardText(std::string_view text, std::string& error);

} // namespace tideloom
