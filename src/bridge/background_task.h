// Work that waits for the network leaves the host's thread here, and only here: each task gets a
// detached thread of its own, is counted in activeSenders so that shutdown can wait for it, and
// never runs once shutdown has begun.
#pragma once

#include <functional>

// Runs `work` on a new detached thread that owns the copy of `work` (and so of everything the
// caller captured by value). Does nothing while shutting down. When no thread can be started the
// work runs at once on the calling thread. Anything the work throws is dropped.
void launchBackgroundTask(std::function<void()> work);

// Starts `entry(argument)` on a detached thread that keeps the plug-in's code loaded until it
// has returned; false when no thread could be started (then `entry` was not called).
using DetachedThreadEntry = void (*)(void* argument);
bool StartDetachedThread(DetachedThreadEntry entry, void* argument);

// The thread start in use; tests swap it to hold tasks back or to refuse threads, and put
// StartDetachedThread back afterwards.
extern bool (*startDetachedThread)(DetachedThreadEntry entry, void* argument);
