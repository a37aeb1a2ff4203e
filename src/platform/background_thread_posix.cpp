// POSIX threads back end. The plug-in is linked with nodelete, so its code stays mapped for as
// long as a detached thread may run it.
#include <system_error>
#include <thread>

#include "platform/background_thread.h"

namespace tideloom {

bool StartDetachedThread(DetachedThreadEntry entry, void* argument) {
  try {
    std::thread(entry, argument).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

} // namespace tideloom
