#include "bridge/background_task.h"

#include <memory>

#include "bridge/bridge_state.h"

namespace tideloom {

bool (*startDetachedThread)(DetachedThreadEntry entry, void* argument) = StartDetachedThread;

namespace {

void RunDroppingExceptions(const std::function<void()>& work) {
  try {
    if (work) work();
  } catch (...) {
    // Nobody is left to hear about it: the task's outcome only ever reaches the service.
  }
}

void RunTaskOnThread(void* argument) {
  {
    const std::unique_ptr<std::function<void()>> work(
        static_cast<std::function<void()>*>(argument));
    if (!bridgeState().ShuttingDown()) RunDroppingExceptions(*work);
  }
  // Last: from here on shutdown may consider this thread gone.
  bridgeState().TaskEnded();
}

} // namespace

void launchBackgroundTask(std::function<void()> work) {
  BridgeState& state = bridgeState();
  if (state.ShuttingDown()) return;
  state.TaskStarted();
  bool started = false;
  try {
    auto owned = std::make_unique<std::function<void()>>(work);
    if (startDetachedThread(&RunTaskOnThread, owned.get())) {
      owned.release();
      started = true;
    }
  } catch (...) {
    started = false;
  }
  if (!started) {
    RunDroppingExceptions(work);
    state.TaskEnded();
  }
}

} // namespace tideloom
