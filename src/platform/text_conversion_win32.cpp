// The Windows back end: the system's code-page conversion, UTF-8 (65001), flags 0.
#include <windows.h>

#include <climits>

#include "platform/text_conversion.h"

namespace tideloom {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

namespace {

constexpr UINT kUtf8CodePage = 65001;

} // namespace

std::u16string Utf8ToWide(std::string_view text) {
  const std::string_view input = text.substr(0, text.find('\0'));
  // The system counts in int; a text beyond that is no text the plug-in ever converts.
  if (input.empty() || input.size() > INT_MAX) return {};
  const int length = static_cast<int>(input.size());
  const int needed = MultiByteToWideChar(kUtf8CodePage, 0, input.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string out(static_cast<size_t>(needed), u'\0');
  const int written = MultiByteToWideChar(kUtf8CodePage, 0, input.data(), length,
                                          reinterpret_cast<wchar_t*>(out.data()), needed);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

std::string WideToUtf8(std::u16string_view text) {
  const std::u16string_view input = text.substr(0, text.find(u'\0'));
  if (input.empty() || input.size() > INT_MAX) return {};
  const auto* units = reinterpret_cast<const wchar_t*>(input.data());
  const int length = static_cast<int>(input.size());
  const int needed =
      WideCharToMultiByte(kUtf8CodePage, 0, units, length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  const int written =
      WideCharToMultiByte(kUtf8CodePage, 0, units, length, out.data(), needed, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

} // namespace tideloom
