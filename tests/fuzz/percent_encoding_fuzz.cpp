// PercentEncode writes unreserved bytes and %XX groups only, and decodes back to its input.
#include "core/ascii.h"
#include "core/percent_encoding.h"
#include "fuzz_input.h"

using namespace tideloom;

namespace {
bool IsUnreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string encoded = PercentEncode(text);
  std::string decoded;
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] != '%') {
      Require(IsUnreserved(encoded[i]), "PercentEncode kept a reserved byte");
      decoded += encoded[i];
      continue;
    }
    Require(i + 2 < encoded.size(), "truncated %XX group");
    const size_t high = kUpperHexDigits.find(encoded[i + 1]);
    const size_t low = kUpperHexDigits.find(encoded[i + 2]);
    Require(high < 16 && low < 16, "%XX group without upper-case hex");
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  Require(decoded == text, "PercentEncode does not decode back");
  return 0;
}
