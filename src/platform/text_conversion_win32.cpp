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
  std::u16string out(Utf8ToWideLength(text), u'\0');
  Utf8ToWideInto(text, out.data(), out.size());
  return out;
}

std::size_t Utf8ToWideLength(std::string_view text) {
  const std::string_view input = text.substr(0, text.find('\0'));
  // The system counts in int; a text beyond that is no text the plug-in ever converts.
  if (input.empty() || input.size() > INT_MAX) return 0;
  const int needed = MultiByteToWideChar(kUtf8CodePage, 0, input.data(),
                                         static_cast<int>(input.size()), nullptr, 0);
  return needed > 0 ? static_cast<std::size_t>(needed) : 0;
}

void Utf8ToWideInto(std::string_view text, char16_t* out, std::size_t units) {
  const std::string_view input = text.substr(0, text.find('\0'));
  if (input.empty() || input.size() > INT_MAX || units == 0 || units > INT_MAX) return;
  MultiByteToWideChar(kUtf8CodePage, 0, input.data(), static_cast<int>(input.size()),
                      reinterpret_cast<wchar_t*>(out), static_cast<int>(units));
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
