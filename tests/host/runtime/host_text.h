// Host texts handled the way a plug-in handles them, for the fake plug-in and the library's tests.
#pragma once

#include <cstdint>
#include <string>

#include "hostapi/host_call_record.h"

namespace host_text {

// Every call gets a clean error record; lastError then holds what that call reported.
inline HostError lastError;
inline HostError* Fresh() {
  lastError = HostError{1, 0};
  return &lastError;
}

inline std::u16string Units(const HostText* text) {
  std::u16string units(FM_Text_GetSize(text, Fresh()), u'\0');
  if (!units.empty()) {
    FM_Text_GetUnicode(text, reinterpret_cast<uint16_t*>(units.data()), 0,
                       static_cast<uint32_t>(units.size()), Fresh());
  }
  return units;
}

// The text as UTF-8; "" when the host failed.
inline std::string Utf8(const HostText* text) {
  const uint32_t size = FM_Text_GetSize(text, Fresh());
  if (lastError.code != 0 || size == 0) return "";
  std::string bytes(4 * std::size_t{size} + 1, '\0');
  FM_Text_GetBytes(text, bytes.data(), static_cast<uint32_t>(bytes.size()), 0, size, 1, Fresh());
  return lastError.code != 0 ? "" : std::string(bytes.c_str());
}

// A host text holding UTF-8, deleted with the guard; null when the host failed to make it.
struct OwnedText {
  explicit OwnedText(const std::string& utf8) : text(FM_Text_Constructor1(Fresh())) {
    if (text != nullptr) FM_Text_Assign(text, utf8.c_str(), 1, Fresh());
  }
  ~OwnedText() {
    if (text != nullptr) FM_Text_Delete(text, Fresh());
  }
  OwnedText(const OwnedText&) = delete;
  OwnedText& operator=(const OwnedText&) = delete;
  HostText* text;
};

} // namespace host_text
