// Host calls made to report a failure on purpose, so that a plug-in's handling of memory
// exhaustion and other host failures can be exercised.
#pragma once

#include <string>
#include <vector>

namespace fmhost {

// The names of the library calls, as the plug-in imports them.
const std::vector<std::string>& LibraryCallNames();

// Adds a failure: the next `times` calls of `call` report `code`. False for an unknown call,
// a code of 0 or a count below 1.
bool AddInjectedFailure(const std::string& call, int code, int times);
void RemoveInjectedFailures();

// The code this call of `call` must report, or 0 when it runs normally. Counts the call.
int TakeInjectedFailure(const char* call);

} // namespace fmhost
