// Throughput of every byte helper a large payload passes through, each next to a memcpy of the
// same size, so that bench/run can state each one as a fraction of what the memory allows.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/base64.h"
#include "core/json.h"
#include "core/percent_encoding.h"
#include "platform/text_conversion.h"
#include "utf_text.h"

namespace {

// 64 MiB unless BENCH_PAYLOAD_BYTES says otherwise (bench/run shrinks it for quick runs).
std::size_t PayloadBytes() {
  const char* configured = std::getenv("BENCH_PAYLOAD_BYTES");
  return configured != nullptr ? std::strtoull(configured, nullptr, 10) : std::size_t{64} << 20;
}

// Script steps as the host copies them: quotes, markup and a few non-ASCII letters.
const std::string& XmlPayload() {
  static const std::string payload = [] {
    const std::string step = "<Step enable=\"True\" id=\"89\" name=\"# (comment)\"><Text>Grüße "
                             "aus Zürich &amp; 東京, line\tone</Text></Step>\n";
    std::string text;
    const std::size_t size = PayloadBytes();
    text.reserve(size + step.size());
    while (text.size() < size)
      text += step;
    text.resize(size);
    // Never end inside a character: the conversions would add a replacement of their own.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0x80) != 0)
      text.back() = 'x';
    return text;
  }();
  return payload;
}

void Report(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(XmlPayload().size()));
}

void Memcpy(benchmark::State& state) {
  const std::string& payload = XmlPayload();
  std::string copy(payload.size(), '\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), payload.data(), payload.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  Report(state);
}

// What any helper pays before its first byte of work when its result is new memory: the kernel
// hands out zeroed pages on first touch. bench/run prints it next to the figures as their bound.
void CopyIntoNewMemory(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(std::string(XmlPayload()));
  Report(state);
}

void JsonEscape(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::JsonEscape(XmlPayload()));
  Report(state);
}

// A poll reply carrying the payload, read back the way the executor reads it.
void JsonStringField(benchmark::State& state) {
  const std::string reply = "{\"command\":{\"id\":\"7\",\"type\":\"SET_CLIPBOARD\",\"xmlType\":"
                            "\"XMSS\",\"xmlContent\":\"" +
                            tideloom::JsonEscape(XmlPayload()) + "\"}}";
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::JsonStringField(reply, "xmlContent"));
  Report(state);
}

void Base64Encode(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::Base64Encode(XmlPayload()));
  Report(state);
}

void PercentEncode(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::PercentEncode(XmlPayload()));
  Report(state);
}

void Utf8ToWide(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::Utf8ToWide(XmlPayload()));
  Report(state);
}

void WideToUtf8(benchmark::State& state) {
  const std::u16string wide = tideloom::Utf8ToWide(XmlPayload());
  for (auto _ : state)
    benchmark::DoNotOptimize(tideloom::WideToUtf8(wide));
  Report(state);
}

// The host stand-in's side of the boundary: every text crossing it is converted once each way.
void HostUtf8ToUtf16(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(fmhost::Utf8ToUtf16(XmlPayload()));
  Report(state);
}

void HostUtf16ToUtf8(benchmark::State& state) {
  const std::u16string wide = fmhost::Utf8ToUtf16(XmlPayload());
  for (auto _ : state)
    benchmark::DoNotOptimize(fmhost::Utf16ToUtf8(wide));
  Report(state);
}

} // namespace

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyIntoNewMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(JsonEscape)->Unit(benchmark::kMillisecond);
BENCHMARK(JsonStringField)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64Encode)->Unit(benchmark::kMillisecond);
BENCHMARK(PercentEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(Utf8ToWide)->Unit(benchmark::kMillisecond);
BENCHMARK(WideToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(HostUtf8ToUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(HostUtf16ToUtf8)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
