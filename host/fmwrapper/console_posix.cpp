#include <unistd.h>

#include "console.h"

namespace fmhost {

std::vector<std::string> ProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  return arguments;
}

void UseBinaryStandardStreams() {}

bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

} // namespace fmhost
