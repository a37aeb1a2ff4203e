// Controls of the in-process clipboard that stands in for the system's where there is none.
// They let tests and the host stand-in play the other programs that share a real clipboard.
#pragma once

#include <cstddef>

// While held, opening the clipboard fails as it does when another program has it open.
void HoldClipboardByAnotherProgram(bool held);

// Lets the next `successes` global allocations succeed and fails every one after them;
// a negative count lets all succeed.
void FailGlobalAllocationsAfter(int successes);

// Global blocks allocated and not yet freed, those held by the clipboard included.
std::size_t LiveGlobalBlockCount();

bool ClipboardIsOpen();

// Back to an empty, closed clipboard with no faults; registered format names stay, as they do
// for the lifetime of a real session.
void ResetMemoryClipboard();
