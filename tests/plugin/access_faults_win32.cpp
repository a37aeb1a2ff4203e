#include <windows.h>

#include <atomic>

#include "access_faults.h"

namespace tideloom {

namespace {

std::atomic<int> faults{0};

LONG CALLBACK CountAccessFault(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) ++faults;
  return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void WatchAccessFaults() {
  static const PVOID handler = AddVectoredExceptionHandler(1, CountAccessFault);
  (void)handler;
}

int AccessFaultsSeen() { return faults.load(); }

} // namespace tideloom
