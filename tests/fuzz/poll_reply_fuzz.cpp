// A poll reply from the service, from classification through the command's execution to its
// completion. Background tasks run at once on this thread and the service is a port where
// nothing listens, so every sender fails fast and each run stays short.
#include <cstdlib>

#include "bridge/background_task.h"
#include "bridge/command_poller.h"
#include "bridge/idle_executor.h"
#include "fuzz_input.h"

using namespace tideloom;

namespace {
IdleHostCalls FakeHost() {
  return {[] { return std::string("Fuzz.fmp12"); },
          [] { return std::string("Fuzz\nOther"); },
          [](std::string_view target) { return "{\"file\":\"" + std::string(target) + "\"}"; },
          [](std::string_view, std::string& xml, std::string&) {
            xml = "<fmxmlsnippet type=\"FMObjectList\"/>";
            return true;
          },
          [](std::string& typeKey, std::string&, std::string& error) {
            typeKey = "XMSC";
            error = "no XML";
            return false;
          },
          [](std::string& listing, std::string&) {
            listing = "XMSC";
            return true;
          },
          [](std::string_view, std::string_view, std::string&) { return true; },
          [](std::string_view, std::string_view) -> int16_t { return 0; }};
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  startDetachedThread = [](DetachedThreadEntry, void*) { return false; };
  setenv("no_proxy", "*", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  PollReply polled = ClassifyPollReply(reply);
  if (polled.id.empty()) return 0;
  DispatchCommand({std::move(polled.id), std::move(polled.type), std::string(reply),
                   "http://127.0.0.1:1", "fuzz-key"},
                  FakeHost());
  return 0;
}
