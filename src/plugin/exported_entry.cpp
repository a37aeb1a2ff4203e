// The library's one exported symbol.
#include "plugin/host_call_dispatch.h"

#if defined(_WIN32)
#define TIDELOOM_EXPORT __declspec(dllexport)
#else
#define TIDELOOM_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TIDELOOM_EXPORT void FMExternCallProc(HostCallRecord* record) {
  tideloom::DispatchHostCall(record);
}
