#include <string>

#include "platform/native_path.h"
#include "platform/text_conversion.h"

namespace tideloom {

std::filesystem::path NativePath(std::string_view utf8Path) {
  const std::u16string wide = Utf8ToWide(utf8Path);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

} // namespace tideloom
