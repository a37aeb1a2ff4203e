// The process's arguments and standard streams; one back end per platform.
#pragma once

#include <string>
#include <vector>

namespace fmhost {

// The command-line arguments after the program name, as UTF-8.
std::vector<std::string> ProcessArguments(int argc, char** argv);
// Output goes out as the UTF-8 bytes it is, with no line-end translation.
void UseBinaryStandardStreams();
bool StandardInputIsTerminal();

} // namespace fmhost
