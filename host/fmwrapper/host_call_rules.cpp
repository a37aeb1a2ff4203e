#include "host_call_rules.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace fmhost {
namespace {

// Written on the host's thread; read by whichever thread calls in.
std::atomic<std::thread::id> loadingThread;
std::atomic<bool> shutDown{false};
std::atomic<int> messagesInProgress{0};

} // namespace

void NotePluginLoaded() { loadingThread = std::this_thread::get_id(); }
void NotePluginStarted() { shutDown = false; }
void NotePluginShutDown() { shutDown = true; }

void ForgetPluginLife() {
  loadingThread = std::thread::id();
  shutDown = false;
}

void NoteMessageSent() { ++messagesInProgress; }
void NoteMessageAnswered() { --messagesInProgress; }

void CheckCallAllowed(std::string_view call) {
  const std::thread::id host = loadingThread;
  if (host != std::thread::id() && host != std::this_thread::get_id()) {
    StopForPluginFault("called " + std::string(call) +
                       " on another thread than the one that loaded it (FileMaker takes host "
                       "calls on its main thread only)");
  }
  if (shutDown && messagesInProgress == 0)
    StopForPluginFault("called " + std::string(call) + " after shutdown");
}

void StopForPluginFault(std::string_view what) {
  const std::string line = "fmhost: the plug-in " + std::string(what) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(kExitPluginFault);
}

} // namespace fmhost
