// Work that waits for the network leaves the host's thread here, and only here: each task gets a
// detached thread of its own, is counted in activeSenders so that shutdown can wait for it, and
// never runs once shutdown has begun.
#pragma once

#include <functional>

#include "platform/background_thread.h"

namespace tideloom {

// Runs `work` on a new detached thread that owns the copy of `work` (and so of everything the
// caller captured by value). Does nothing while shutting down. When no thread can be started the
// work runs at once on the calling thread. Anything the work throws is dropped.
void launchBackgroundTask(std::function<void()> work);

// The thread start in use; tests swap it to hold tasks back or to refuse threads, and put
// StartDetachedThread back afterwards.
extern bool (*startDetachedThread)(DetachedThreadEntry entry, void* argument);

} // namespace tideloom
