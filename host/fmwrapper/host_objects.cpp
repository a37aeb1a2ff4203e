#include "host_objects.h"

#include <mutex>
#include <unordered_map>

namespace fmhost {
namespace {

struct ObjectEntry {
  ObjectKind kind;
  bool ownedByPlugin = false;
};

// Plug-ins may create host texts on their own threads, so the table has a lock.
struct ObjectTable {
  std::mutex mutex;
  std::unordered_map<const void*, ObjectEntry> entries;
};

ObjectTable& Objects() {
  static ObjectTable* table = new ObjectTable; // outlives every static host object
  return *table;
}

} // namespace

TrackedObject::TrackedObject(ObjectKind kind, const void* self) : self_(self) {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  table.entries[self_] = ObjectEntry{kind};
}

TrackedObject::~TrackedObject() {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  table.entries.erase(self_);
}

bool IsLiveObject(const void* address, ObjectKind kind) {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  const auto found = table.entries.find(address);
  return found != table.entries.end() && found->second.kind == kind;
}

void MarkOwnedByPlugin(const void* address) {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  const auto found = table.entries.find(address);
  if (found != table.entries.end()) found->second.ownedByPlugin = true;
}

bool IsOwnedByPlugin(const void* address, ObjectKind kind) {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  const auto found = table.entries.find(address);
  return found != table.entries.end() && found->second.kind == kind && found->second.ownedByPlugin;
}

std::size_t CountOwnedByPlugin(ObjectKind kind) {
  ObjectTable& table = Objects();
  std::lock_guard lock(table.mutex);
  std::size_t count = 0;
  for (const auto& [address, entry] : table.entries) {
    if (entry.kind == kind && entry.ownedByPlugin) ++count;
  }
  return count;
}

} // namespace fmhost
