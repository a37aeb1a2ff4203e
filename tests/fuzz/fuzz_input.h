// What every fuzz target starts from: the input as text, cut into fields at NUL bytes (the last
// field keeps the rest, NULs and all), and the one check that ends a run with a finding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

template <std::size_t N>
std::array<std::string_view, N> SplitFields(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::array<std::string_view, N> fields{};
  for (std::size_t i = 0; i + 1 < N; ++i) {
    const std::size_t cut = rest.find('\0');
    fields[i] = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
  }
  fields[N - 1] = rest;
  return fields;
}

// abort() so that libFuzzer keeps the input and the sanitizers print the stack.
inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}
