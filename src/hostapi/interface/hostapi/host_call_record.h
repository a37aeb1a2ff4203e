// The record the host passes on every call of FMExternCallProc. Its layout is the host's; only
// the fields the plug-in reads are named, the gaps keep them at the host's byte offsets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/host_library.h"

enum HostMessage : uint8_t {
  kHostMessageStartup = 0,
  kHostMessageIdle = 1,
  kHostMessageShutdown = 4,
  kHostMessageStringRequest = 7,
};

struct HostCallRecord {
  int16_t interfaceVersion;
  uint8_t reserved2to12[11];
  uint8_t message;
  uint8_t reserved14;
  uint8_t param1; // string id for a string request, idle level for an idle call
  uint8_t reserved16to23[8];
  uint64_t bufferCapacity; // only the low 32 bits count
  uint8_t reserved32to39[8];
  uint64_t result; // start-up result, or the address of a string request's UTF-16 buffer
  uint8_t reserved48to55[8];
  HostStartScriptCallback startScript;
  HostCurrentEnvironmentCallback currentEnvironment;
};

static_assert(offsetof(HostCallRecord, interfaceVersion) == 0);
static_assert(offsetof(HostCallRecord, message) == 13);
static_assert(offsetof(HostCallRecord, param1) == 15);
static_assert(offsetof(HostCallRecord, bufferCapacity) == 24);
static_assert(offsetof(HostCallRecord, result) == 40);
static_assert(offsetof(HostCallRecord, startScript) == 56);
static_assert(offsetof(HostCallRecord, currentEnvironment) == 64);
static_assert(sizeof(HostCallRecord) == 72);

using FMExternCallProcType = void (*)(HostCallRecord* record);
