#include "platform/native_path.h"

#include <string>

#include "platform/text_conversion.h"

std::filesystem::path NativePath(std::string_view utf8Path) {
  const std::u16string wide = Utf8ToWide(utf8Path);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}
