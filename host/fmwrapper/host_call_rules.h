// The rules FileMaker holds a plug-in to when it calls the host: only on the thread that loaded
// it, never after shutdown, only with objects the host made. A plug-in that breaks one would
// crash or corrupt FileMaker some of the time, so the stand-in stops it every time.
#pragma once

#include <string_view>

namespace fmhost {

// fmhost's exit status when the plug-in broke a rule or left host objects undeleted.
inline constexpr int kExitPluginFault = 3;

// The host's side of the plug-in's life: loaded (on the calling thread), started, shut down.
void NotePluginLoaded();
void NotePluginStarted();
void NotePluginShutDown();
void ForgetPluginLife();

// While the plug-in answers a message, its calls answer the host, even one sent after shutdown.
void NoteMessageSent();
void NoteMessageAnswered();

// Stops the process when the plug-in may not call the host now; `call` names the host call.
void CheckCallAllowed(std::string_view call);

// Writes "fmhost: the plug-in <what>" to standard error and ends the process with
// kExitPluginFault, at once: the plug-in's other threads may still be running.
[[noreturn]] void StopForPluginFault(std::string_view what);

} // namespace fmhost
