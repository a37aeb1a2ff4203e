#include "core/list_lines.h"

namespace tideloom {

std::vector<std::string_view> HostListLines(std::string_view list) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < list.size()) {
    const size_t end = list.find_first_of("\r\n", start);
    const size_t stop = end == std::string_view::npos ? list.size() : end;
    if (stop > start) lines.push_back(list.substr(start, stop - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

} // namespace tideloom
