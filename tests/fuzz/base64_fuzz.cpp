// Base64Encode writes padded standard Base64 that decodes back to its input.
#include "core/base64.h"
#include "fuzz_input.h"

using namespace tideloom;

namespace {
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Strict: whole groups of four, "=" only as the padding of the last group.
bool Decode(std::string_view text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  for (size_t group = 0; group < text.size(); group += 4) {
    size_t padding = 0;
    if (group + 4 == text.size())
      while (padding < 2 && text[group + 3 - padding] == '=')
        ++padding;
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i) {
      const size_t value = i < 4 - padding ? kAlphabet.find(text[group + i]) : 0;
      if (value == std::string_view::npos) return false;
      bits = bits << 6 | static_cast<uint32_t>(value);
    }
    for (size_t n = 0; n < 3 - padding; ++n)
      bytes += static_cast<char>(bits >> (16 - 8 * n) & 0xFF);
  }
  return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  Require(Decode(Base64Encode(bytes), decoded), "Base64Encode wrote malformed Base64");
  Require(decoded == bytes, "Base64Encode does not decode back");
  return 0;
}
