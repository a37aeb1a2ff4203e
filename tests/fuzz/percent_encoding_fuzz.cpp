// PercentEncode writes unreserved bytes and %XX groups only, and decodes back to its input.
#include "core/percent_encoding.h"
#include "fuzz_input.h"

using namespace tideloom;

namespace {
bool IsUnreserved(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1; // lower-case hex is not what the encoder writes
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
    const int high = HexValue(encoded[i + 1]);
    const int low = HexValue(encoded[i + 2]);
    Require(high >= 0 && low >= 0, "%XX group without upper-case hex");
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  Require(decoded == text, "PercentEncode does not decode back");
  return 0;
}
