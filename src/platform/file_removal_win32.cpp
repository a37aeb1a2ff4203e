#include <windows.h>

#include <string>

#include "platform/file_removal.h"
#include "platform/text_conversion.h"

namespace tideloom {

bool RemoveFileAt(std::string_view utf8Path) {
  const std::u16string wide = Utf8ToWide(utf8Path);
  if (wide.empty()) return false;
  const std::wstring path(wide.begin(), wide.end());
  return DeleteFileW(path.c_str()) != 0;
}

} // namespace tideloom
