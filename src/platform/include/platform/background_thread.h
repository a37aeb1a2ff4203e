// Threads that outlive the call that starts them. The one back end per system keeps the
// plug-in's code loaded for as long as such a thread runs.
#pragma once

namespace tideloom {

// Starts `entry(argument)` on a detached thread that keeps the plug-in's code loaded until it
// has returned; false when no thread could be started (then `entry` was not called).
using DetachedThreadEntry = void (*)(void* argument);
bool StartDetachedThread(DetachedThreadEntry entry, void* argument);

} // namespace tideloom
