#include "core/ascii.h"

namespace tideloom {

std::string FoldAsciiCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded)
    c = AsciiLower(c);
  return folded;
}

bool EqualIgnoringAsciiCase(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (AsciiLower(left[i]) != AsciiLower(right[i])) return false;
  }
  return true;
}

} // namespace tideloom
