// The host's objects behind the opaque handles of the library interface. Every object is
// tracked while it lives, so that a handle the plug-in passes can be checked before use and
// objects the plug-in created and never deleted can be counted.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/calc_engine.h"
#include "hostapi/host_library.h"

namespace fmhost {

enum class ObjectKind { text, data, vector, environment, quadChar, locale };

// Base of every host object: registers itself on construction, unregisters on destruction.
class TrackedObject {
public:
  // self is the address of the whole object, the one its handle carries.
  TrackedObject(ObjectKind kind, const void* self);
  ~TrackedObject();
  TrackedObject(const TrackedObject&) = delete;
  TrackedObject& operator=(const TrackedObject&) = delete;

private:
  const void* self_;
};

// Whether address is a living object of that kind.
bool IsLiveObject(const void* address, ObjectKind kind);

// Objects that the plug-in created through a constructor call are its to delete.
void MarkOwnedByPlugin(const void* address);
bool IsOwnedByPlugin(const void* address, ObjectKind kind);
std::size_t CountOwnedByPlugin(ObjectKind kind);

} // namespace fmhost

struct HostText : fmhost::TrackedObject {
  HostText() : TrackedObject(fmhost::ObjectKind::text, this) {}
  std::u16string units;
};

struct HostLocale : fmhost::TrackedObject {
  HostLocale() : TrackedObject(fmhost::ObjectKind::locale, this) {}
  std::string name; // empty: the value was never given one
};

struct HostData : fmhost::TrackedObject {
  HostData() : TrackedObject(fmhost::ObjectKind::data, this) {}
  HostText text;
  HostLocale locale;
};

struct HostDataVect : fmhost::TrackedObject {
  HostDataVect() : TrackedObject(fmhost::ObjectKind::vector, this) {}
  std::vector<std::unique_ptr<HostData>> values; // pointers, so handles stay put
};

struct HostExprEnv : fmhost::TrackedObject {
  HostExprEnv() : TrackedObject(fmhost::ObjectKind::environment, this) {}
  bool bound = false; // an environment evaluates only once it has a context
  std::string fileName;
  fmhost::CalcVariables* variables = nullptr; // the running calculation's, if any
  fmhost::CalcVariables ownVariables;         // used when it runs in no calculation
};

struct HostQuadChar : fmhost::TrackedObject {
  HostQuadChar() : TrackedObject(fmhost::ObjectKind::quadChar, this) {}
  char chars[4] = {};
};
